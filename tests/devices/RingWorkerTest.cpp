#include "RingTestSupport.h"
#include "tests/platform/core/Watchdog.h"

#include <gtest/gtest.h>
#include <thread>

namespace keb::test
{
namespace
{
using namespace std::chrono_literals;

constexpr std::int32_t Slot = 256;

// Sequences of the blocks in a byte stream of Slot-byte blocks.
std::vector<int> Sequences(const std::vector<char>& bytes)
{
    std::vector<int> sequences;
    for (std::size_t at = 0; at + Slot <= bytes.size(); at += Slot)
        sequences.push_back(SequenceOf(bytes.data() + at, Slot));
    return sequences;
}

std::vector<int> Range(int first, int count)
{
    std::vector<int> range(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        range[static_cast<std::size_t>(i)] = first + i;
    return range;
}

// Counts the six queue events and the threads they fired in.
struct TEventLog
{
    explicit TEventLog(TMMRingBuffer& ring)
    {
        ring.OnOverlow = [this](TComponent*) { ++overflows; };
        ring.OnEmpty = [this](TComponent*) { ++empties; };
        ring.OnFillQueue = [this](TComponent*) { Begin(fills); };
        ring.OnFillQueueEnd = [this](TComponent*) { ++fillEnds; };
        ring.OnFlushQueue = [this](TComponent*) { Begin(flushes); };
        ring.OnFlushQueueEnd = [this](TComponent*) { ++flushEnds; };
    }
    void Begin(std::atomic<int>& counter)
    {
        ++counter;
        if (std::this_thread::get_id() != mainThread)
            ++onWorker;
    }

    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<int> overflows{0}, empties{0}, fills{0}, fillEnds{0}, flushes{0}, flushEnds{0},
        onWorker{0};
};

void Configure(TMMRingBuffer& ring, TMMQueueMode mode, std::int32_t slots)
{
    ring.SetBufferSize(Slot);
    ring.SetNumBuffers(slots);
    ring.SetQueueMode(mode);
}

void OpenAndStart(TMMRingBuffer& ring, TMMQueueMode mode, std::int32_t slots)
{
    Configure(ring, mode, slots);
    ring.ChainOpened();
    ring.ChainStarted();
}
} // namespace

TEST(RingRead, ReadAheadDeliversTheSourceInOrderAndEndsTheStream)
{
    TWatchdog watchdog(60s);
    TNumberedSource source(nullptr, Slot, 50);
    TMMRingBuffer ring(nullptr);
    TEventLog events(ring);
    ring.SetInput(&source);
    OpenAndStart(ring, qmRead, 8);

    std::vector<int> received;
    TPulled pulled;
    do
    {
        const int emptiesBefore = events.empties.load();
        pulled = Pull(ring, Slot);
        ASSERT_EQ(pulled.Bytes.size(), std::size_t(Slot));
        if (events.empties.load() == emptiesBefore)
            received.push_back(SequenceOf(pulled.Bytes.data(), Slot));
    } while (pulled.More);

    EXPECT_EQ(received, Range(0, 50))
        << "a pull that found the queue empty repeats, others advance";
    ring.ChainStopped();
    ring.ChainClosed();
    EXPECT_GE(events.fills.load(), 1);
    EXPECT_EQ(events.fills.load(), events.fillEnds.load());
    EXPECT_EQ(events.onWorker.load(), events.fills.load()) << "passes run in the worker";
}

TEST(RingRead, FirstReadGivesUpAfterTimeOutWhenTheReadAheadIsLate)
{
    TWatchdog watchdog(60s);
    TGate gate;
    TNumberedSource source(nullptr, Slot, 100);
    source.OnPull = [&gate](TMMWaveHdr*) { gate.Pass(); };
    TMMRingBuffer ring(nullptr);
    ring.SetInput(&source);
    ring.SetTimeOut(1);
    OpenAndStart(ring, qmRead, 4);

    EXPECT_TRUE(Pull(ring, Slot).Bytes.empty());
    gate.AwaitArrival();
    EXPECT_TRUE(Pull(ring, Slot).Bytes.empty()) << "still not ready";
    gate.Open();

    ring.SetTimeOut(10000);
    ring.ChainStopped();
    ring.ChainStarted();
    const TPulled pulled = Pull(ring, Slot);
    EXPECT_EQ(pulled.Bytes.size(), std::size_t(Slot));
    EXPECT_NE(SequenceOf(pulled.Bytes.data(), Slot), -1);
    ring.ChainClosed();
}

TEST(RingRead, SourceThatBringsNothingMarksTheEndOfData)
{
    TWatchdog watchdog(60s);
    TNumberedSource source(nullptr, Slot, 3);
    TMMRingBuffer ring(nullptr);
    ring.SetInput(&source);
    OpenAndStart(ring, qmRead, 8);
    std::vector<int> sequences;
    TPulled pulled;
    for (int i = 0; i < 3; ++i)
    {
        pulled = Pull(ring, Slot);
        sequences.push_back(SequenceOf(pulled.Bytes.data(), Slot));
    }
    EXPECT_EQ(sequences, Range(0, 3));
    EXPECT_FALSE(pulled.More);
    ring.ChainClosed();

    TNumberedSource silent(nullptr, Slot, 0);
    ring.SetInput(&silent);
    ring.ChainOpened();
    ring.ChainStarted();
    pulled = Pull(ring, Slot);
    EXPECT_TRUE(pulled.Bytes.empty());
    ring.ChainClosed();
}

TEST(RingRead, DisabledQueueWithNothingQueuedPassesPullsToInput)
{
    TNumberedSource source(nullptr, Slot, 10);
    TMMRingBuffer ring(nullptr);
    ring.SetInput(&source);
    Configure(ring, qmRead, 4);
    ring.SetEnabled(false);
    ring.ChainOpened();
    const TPulled pulled = Pull(ring, 2 * Slot);
    EXPECT_EQ(Sequences(pulled.Bytes), Range(0, 2));
    EXPECT_EQ(source.pulls.load(), 1);
    EXPECT_TRUE(ring.IsEmpty());
    ring.ChainClosed();
}

TEST(RingRead, LoopStateTravelsUpstreamAndTheWrapMarkComesBack)
{
    TWatchdog watchdog(60s);
    TNumberedSource source(nullptr, Slot, 6, 1);
    std::atomic<int> loopingPulls{0};
    source.OnPull = [&](TMMWaveHdr* header)
    {
        if (header->LoopFlag != 0 && header->LoopCount == 3)
            ++loopingPulls;
        header->WrapFlag = source.pulls.load() == 4 ? 0xFFFFFFFFu : 0;
    };
    TMMRingBuffer ring(nullptr);
    ring.SetInput(&source);
    OpenAndStart(ring, qmRead, 8);

    THeaderPtr header = MakeHeader(Slot);
    header->LoopFlag = 0xFFFFFFFFu;
    header->LoopCount = 3;
    std::vector<int> wrapped;
    bool more = true;
    while (more)
    {
        header->wh.dwBytesRecorded = 0;
        ring.BufferLoad(&header->wh, more);
        if (header->WrapFlag != 0)
            wrapped.push_back(SequenceOf(header->wh.lpData, Slot));
    }
    EXPECT_EQ(wrapped, std::vector<int>{3}) << "the block of the fourth pull jumped back";
    EXPECT_GE(loopingPulls.load(), 1);
    ring.ChainClosed();
}

TEST(RingWrite, WriteOnDeliversEveryBlockInOrderAndStopFlushesTheRest)
{
    TWatchdog watchdog(60s);
    TMMRingBuffer ring(nullptr);
    TCollectingSink sink(nullptr);
    TEventLog events(ring);
    ring.SetOutput(&sink);
    ring.SetWaitIfFull(true);
    OpenAndStart(ring, qmWrite, 8);
    for (int i = 0; i < 100; ++i)
        Push(ring, Block(static_cast<std::uint16_t>(i), Slot));
    ring.ChainStopped();
    EXPECT_TRUE(ring.IsEmpty());
    EXPECT_EQ(Sequences(sink.Bytes()), Range(0, 100));
    EXPECT_EQ(events.overflows.load(), 0);
    ring.ChainClosed();
    EXPECT_GE(events.flushes.load(), 1);
    EXPECT_EQ(events.flushes.load(), events.flushEnds.load());
}

TEST(RingWrite, FullQueueDropsTheBlockAndFiresOnOverlow)
{
    TWatchdog watchdog(60s);
    TGate gate;
    TMMRingBuffer ring(nullptr);
    TCollectingSink sink(nullptr);
    sink.gate = &gate;
    TEventLog events(ring);
    ring.SetOutput(&sink);
    OpenAndStart(ring, qmWrite, 4);

    std::uint16_t next = 0;
    Push(ring, Block(next++, Slot));
    Push(ring, Block(next++, Slot));
    gate.AwaitArrival();
    while (!ring.IsFull() && next < 100)
        Push(ring, Block(next++, Slot));
    ASSERT_TRUE(ring.IsFull());
    const std::uint16_t dropped = next;
    Push(ring, Block(next++, Slot));
    EXPECT_EQ(events.overflows.load(), 1);
    EXPECT_EQ(ring.FilledCount(), 4);

    gate.Open();
    ring.ChainStopped();
    std::vector<int> expected = Range(0, next);
    expected.erase(expected.begin() + dropped);
    EXPECT_EQ(Sequences(sink.Bytes()), expected);
    ring.ChainClosed();
}

TEST(RingWrite, WaitIfFullHoldsTheProducerUntilTheWorkerDrains)
{
    TWatchdog watchdog(60s);
    TGate gate;
    TMMRingBuffer ring(nullptr);
    TCollectingSink sink(nullptr);
    sink.gate = &gate;
    TEventLog events(ring);
    ring.SetOutput(&sink);
    ring.SetWaitIfFull(true);
    OpenAndStart(ring, qmWrite, 4);

    std::atomic<int> pushed{0};
    std::thread producer(
        [&]
        {
            for (int i = 0; i < 12; ++i)
            {
                Push(ring, Block(static_cast<std::uint16_t>(i), Slot));
                ++pushed;
            }
        });
    gate.AwaitArrival();
    while (!ring.IsFull())
        std::this_thread::yield();
    EXPECT_LT(pushed.load(), 12) << "at most 4 taken by the worker and 4 queued";
    gate.Open();
    producer.join();
    ring.ChainStopped();
    EXPECT_EQ(Sequences(sink.Bytes()), Range(0, 12));
    EXPECT_EQ(events.overflows.load(), 0);
    ring.ChainClosed();
}

TEST(RingWrite, DirectWritesAreCutIntoSlotsAndReadBackWhole)
{
    TMMRingBuffer ring(nullptr);
    Configure(ring, qmNone, 4);
    ring.ChainOpened();
    std::vector<char> data(3 * Slot + 100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    EXPECT_EQ(ring.WriteData(data.data(), static_cast<std::int32_t>(data.size()), SlotEndOfData),
              static_cast<std::int32_t>(data.size()));
    EXPECT_EQ(ring.FilledCount(), 4);
    EXPECT_EQ(ring.WriteData(data.data(), Slot, 0), 0) << "full";

    std::vector<char> back(data.size() + 50);
    EXPECT_EQ(ring.ReadData(back.data(), static_cast<std::int32_t>(back.size())),
              static_cast<std::int32_t>(data.size()));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
    ring.ChainClosed();
}

} // namespace keb::test
