// Run under ThreadSanitizer: the audio threads copy while the main thread
// delivers, starts, stops and pauses.
#include "ConnectorTestSupport.h"
#include "platform/core/Event.h"
#include "tests/platform/core/Watchdog.h"

#include <atomic>
#include <thread>

namespace keb
{
namespace
{
using namespace std::chrono_literals;
using test::BufferBytes;
using test::TestBuffer;

// The thread safety of the display side is the connector's: these displays
// count with atomics only so that the test can read them from any thread.
class CountingDisplay : public TMMAnalyserDisplay
{
  public:
    void SetDisplayFormat(const TWaveFormatEx&) override {}
    void ProcessBlock(const std::uint8_t* block) override
    {
        // A block is always one whole copy of one buffer's bytes: the
        // pattern runs on without a seam.
        const std::int16_t first = test::FirstSample(block);
        const std::int16_t last = test::FirstSample(block + BlockBytes() - 2);
        if (last - first != BlockBytes() / 2 - 1)
            ++TornBlocks;
        ++Blocks;
    }
    void ResetDisplay() override { ++Resets; }
    std::int32_t BlockBytes() const override { return 512; }
    bool Accelerate() const override { return false; }
    std::int32_t FFTLength() const override { return 256; }
    TMMBits BitLength() const override { return b16Bit; }
    TMMMode Mode() const override { return mMono; }

    std::atomic<int> Blocks{0};
    std::atomic<int> TornBlocks{0};
    std::atomic<int> Resets{0};
};

class ConnectorThreads : public testing::Test
{
  protected:
    ConnectorThreads()
    {
        connector.SetInput(&source);
        const TWaveFormatEx format = test::ProgramFormat();
        source.SetWaveFormat(&format);
        connector.SetBufferSize(BufferBytes);
        connector.SetSynchronize(false);
        connector.SetSpectrogram(0, &display);
        connector.ChainOpened();
    }
    ~ConnectorThreads() override
    {
        connector.ChainStopped();
        ProcessMessages();
    }

    test::TestSource source;
    TMMConnector connector{nullptr};
    CountingDisplay display;
};

TEST_F(ConnectorThreads, ArrivalsRaceWithPassesStartsStopsAndPauses)
{
    test::TWatchdog watchdog(60s, "ArrivalsRaceWithPassesStartsStopsAndPauses");
    connector.SetAutoTrigger(false);
    connector.ChainStarted();
    std::atomic<bool> done{false};
    std::thread capture(
        [&]
        {
            TestBuffer buffer(BufferBytes, 0);
            for (std::int16_t round = 0; !done.load();
                 round = static_cast<std::int16_t>((round + 1) % 30))
            {
                buffer.Fill(static_cast<std::int16_t>(round * 1000));
                connector.BufferReady(buffer.Wave());
            }
        });
    std::thread playback(
        [&]
        {
            TestBuffer buffer;
            bool more = true;
            while (!done.load())
            {
                connector.BufferLoad(buffer.Wave(), more);
                connector.Trigger();
            }
        });
    for (int cycle = 0; cycle < 200; ++cycle)
    {
        ProcessMessages();
        connector.Trigger();
        if (cycle % 20 == 10)
            connector.ChainPaused();
        if (cycle % 20 == 13)
            connector.ChainRestarted();
        if (cycle % 50 == 25)
        {
            connector.ChainStopped();
            connector.ChainStarted();
        }
        std::this_thread::yield();
    }
    done.store(true);
    capture.join();
    playback.join();
    EXPECT_GT(display.Blocks.load(), 0);
    EXPECT_EQ(display.TornBlocks.load(), 0);
}

// A display that is slow (here: waits until the audio thread has delivered
// another buffer) must not hold up the audio thread.
class WaitingDisplay : public CountingDisplay
{
  public:
    void ProcessBlock(const std::uint8_t* block) override
    {
        CountingDisplay::ProcessBlock(block);
        ArrivalDone.WaitFor();
    }
    TEvent ArrivalDone{true, false};
};

TEST_F(ConnectorThreads, AudioThreadsNeverWaitForADisplay)
{
    test::TWatchdog watchdog(30s, "AudioThreadsNeverWaitForADisplay");
    WaitingDisplay slow;
    connector.SetSpectrogram(0, &slow);
    connector.SetAutoTrigger(false);
    connector.ChainStarted();
    ProcessMessages();
    TestBuffer buffer;
    connector.BufferReady(buffer.Wave());
    std::thread audio(
        [&]
        {
            TestBuffer next(BufferBytes, 5000);
            connector.BufferReady(next.Wave());
            slow.ArrivalDone.SetEvent();
        });
    connector.Trigger();
    audio.join();
    EXPECT_EQ(slow.Blocks.load(), 1);
    connector.SetSpectrogram(0, nullptr);
}

// Real-time pause timer: its ticks come from the timer thread while the main
// thread delivers.
TEST_F(ConnectorThreads, PauseTimerTicksRaceWithPasses)
{
    test::TWatchdog watchdog(30s, "PauseTimerTicksRaceWithPasses");
    connector.SetAutoTrigger(false);
    connector.SetBufferSize(32);
    connector.ChainClosed();
    connector.ChainOpened();
    connector.ChainStarted();
    ProcessMessages();
    TestBuffer buffer;
    connector.BufferReady(buffer.Wave());
    connector.ChainPaused();
    const auto end = std::chrono::steady_clock::now() + 200ms;
    while (std::chrono::steady_clock::now() < end)
        connector.Trigger();
    connector.ChainRestarted();
    EXPECT_EQ(connector.PauseTimerID(), 0u);
}

} // namespace
} // namespace keb
