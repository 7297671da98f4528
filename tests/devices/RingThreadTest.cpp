// The queue between two threads, as the capture and playback workers use it.
// These tests prove their worth under ThreadSanitizer (build with
// -DKEB_SANITIZE=thread); in a plain build they check order and integrity.
#include "RingTestSupport.h"
#include "tests/platform/core/Watchdog.h"

#include <gtest/gtest.h>
#include <thread>

namespace keb::test
{
namespace
{
using namespace std::chrono_literals;

constexpr std::int32_t Slot = 64;
constexpr int Blocks = 20000;
} // namespace

TEST(RingThreads, DuplexProducerAndConsumerNeverTearOrReorderBlocks)
{
    TWatchdog watchdog(120s);
    TMMRingBuffer ring(nullptr);
    ring.SetBufferSize(Slot);
    ring.SetNumBuffers(4);
    ring.SetQueueMode(qmDuplex);
    ring.SetWaitIfFull(true);
    std::atomic<int> empties{0};
    ring.OnEmpty = [&](TComponent*) { ++empties; };
    ring.ChainOpened();
    ring.ChainStarted();

    std::atomic<bool> producing{true};
    std::thread producer(
        [&]
        {
            for (int i = 1; i <= Blocks; ++i)
                Push(ring, Block(static_cast<std::uint16_t>(i), Slot));
            producing = false;
        });

    int last = 0;
    int torn = 0;
    int backwards = 0;
    int unexplainedRepeats = 0;
    int pulls = 0;
    while (producing || !ring.IsEmpty())
    {
        const int emptiesBefore = empties.load();
        const TPulled pulled = Pull(ring, Slot);
        ++pulls;
        const int sequence = SequenceOf(pulled.Bytes.data(), pulled.Bytes.size());
        if (sequence < 0)
            ++torn;
        else if (sequence == last && sequence != 0 && empties.load() == emptiesBefore)
            ++unexplainedRepeats;
        else if (sequence < last)
            ++backwards;
        if (sequence > last)
            last = sequence;
    }
    producer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(unexplainedRepeats, 0) << "a block came twice without OnEmpty";
    EXPECT_EQ(last, Blocks) << "the newest block is never lost";
    EXPECT_GT(pulls, 0);
    ring.ChainStopped();
    ring.ChainClosed();
}

TEST(RingThreads, StopsAndStartsWhileBothSidesRun)
{
    TWatchdog watchdog(120s);
    TMMRingBuffer ring(nullptr);
    ring.SetBufferSize(Slot);
    ring.SetNumBuffers(2);
    ring.SetQueueMode(qmDuplex);
    ring.SetWaitIfFull(true);
    ring.ChainOpened();
    ring.ChainStarted();

    std::atomic<bool> running{true};
    std::atomic<int> torn{0};
    std::thread producer(
        [&]
        {
            for (std::uint16_t i = 1; running; ++i)
                Push(ring, Block(i, Slot));
        });
    std::thread consumer(
        [&]
        {
            while (running)
            {
                const TPulled pulled = Pull(ring, Slot);
                if (SequenceOf(pulled.Bytes.data(), pulled.Bytes.size()) < 0)
                    ++torn;
            }
        });
    for (int i = 0; i < 100; ++i)
    {
        ring.ChainStopped();
        ring.ChainStarted();
        std::this_thread::yield();
    }
    running = false;
    producer.join();
    consumer.join();
    EXPECT_EQ(torn.load(), 0);
    ring.ChainClosed();
}

TEST(RingThreads, ReadAheadWorkerFeedsAConsumerThread)
{
    TWatchdog watchdog(120s);
    constexpr int Count = 1000;
    TNumberedSource source(nullptr, Slot, Count, 3);
    TMMRingBuffer ring(nullptr);
    ring.SetInput(&source);
    ring.SetBufferSize(Slot);
    ring.SetNumBuffers(8);
    ring.SetQueueMode(qmRead);
    std::atomic<int> empties{0};
    ring.OnEmpty = [&](TComponent*) { ++empties; };
    ring.ChainOpened();
    ring.ChainStarted();

    std::vector<int> received;
    std::thread consumer(
        [&]
        {
            TPulled pulled;
            do
            {
                const int before = empties.load();
                pulled = Pull(ring, Slot);
                if (empties.load() == before)
                    received.push_back(SequenceOf(pulled.Bytes.data(), pulled.Bytes.size()));
            } while (pulled.More);
        });
    consumer.join();
    ASSERT_EQ(received.size(), std::size_t(Count));
    for (int i = 0; i < Count; ++i)
        ASSERT_EQ(received[static_cast<std::size_t>(i)], i);
    ring.ChainStopped();
    ring.ChainClosed();
}

TEST(RingThreads, WriteOnWorkerAndProducerThreadLoseNothing)
{
    TWatchdog watchdog(120s);
    constexpr int Count = 3000;
    TMMRingBuffer ring(nullptr);
    TCollectingSink sink(nullptr);
    ring.SetOutput(&sink);
    ring.SetBufferSize(Slot);
    ring.SetNumBuffers(6);
    ring.SetQueueMode(qmWrite);
    ring.SetWaitIfFull(true);
    ring.ChainOpened();
    ring.ChainStarted();
    std::thread producer(
        [&]
        {
            for (int i = 0; i < Count; ++i)
                Push(ring, Block(static_cast<std::uint16_t>(i), Slot));
        });
    producer.join();
    ring.ChainStopped();
    const std::vector<char> bytes = sink.Bytes();
    ASSERT_EQ(bytes.size(), std::size_t(Count) * Slot);
    for (int i = 0; i < Count; ++i)
        ASSERT_EQ(SequenceOf(bytes.data() + static_cast<std::size_t>(i) * Slot, Slot), i);
    ring.ChainClosed();
}

} // namespace keb::test
