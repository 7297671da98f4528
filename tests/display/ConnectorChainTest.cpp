// The program's display path on the live chain of the virtual card:
//
//   capture -> ring buffer -> input connector -> playback -> output connector
//
// with the 25 ms timer in cmThread, synchronised, triggering the output and
// then the input connector on every tick, for 60 s of card time. The card,
// the timer service and the performance counter move in lockstep, so every
// buffer gets its three waterfall lines at their play times. Run under
// ThreadSanitizer: the capture and playback workers copy into the connectors
// while the timer's ticks deliver in the main thread.
#include "devices/MMHTimer.h"
#include "devices/MMHTimerPeriodic.h"
#include "display/MMConect.h"
#include "platform/core/Clock.h"
#include "platform/core/MainLoop.h"
#include "tests/stream/ChainRig.h"
#include "tests/platform/core/Watchdog.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>

namespace keb
{
namespace
{
using namespace std::chrono_literals;

// A waterfall stand-in that checks each block is one seamless slice of the
// signal (consecutive frame numbers) or silence. Called in the main thread
// only, as the connectors run in real time.
class SliceDisplay : public TMMAnalyserDisplay
{
  public:
    void SetDisplayFormat(const TWaveFormatEx& format) override { Rate = format.nSamplesPerSec; }
    void ProcessBlock(const std::uint8_t* block) override
    {
        ++Lines;
        InMainThread = InMainThread && IsMainThread();
        std::int16_t samples[256];
        std::memcpy(samples, block, sizeof samples);
        if (samples[0] == 0)
            return;
        for (int i = 1; i < 256; ++i)
        {
            if (samples[i] != Next(samples[i - 1]))
                ++TornLines;
        }
    }
    void ResetDisplay() override {}
    std::int32_t BlockBytes() const override { return 512; }
    bool Accelerate() const override { return false; }
    std::int32_t FFTLength() const override { return 256; }
    TMMBits BitLength() const override { return b16Bit; }
    TMMMode Mode() const override { return mMono; }

    static std::int16_t Signal(std::uint64_t frame)
    {
        return static_cast<std::int16_t>(1 + frame % 30000);
    }
    static std::int16_t Next(std::int16_t sample) { return sample == 30000 ? 1 : sample + 1; }

    std::uint32_t Rate = 0;
    int Lines = 0;
    int TornLines = 0;
    bool InMainThread = true;
};

TEST(ConnectorChain, SixtySecondsOfCardTimeFeedBothWaterfalls)
{
    test::TWatchdog watchdog(600s, "SixtySecondsOfCardTimeFeedBothWaterfalls");
    TManualCounterClock clock;
    TClockSourceGuard clockGuard(clock);
    SetTimerServiceManual(true);
    {
        test::TChainRig rig(test::TChainSettings{}, &SliceDisplay::Signal);
        TMMConnector input(nullptr), output(nullptr);
        SliceDisplay inputWaterfall, outputWaterfall;
        input.SetAutoTrigger(false);
        output.SetAutoTrigger(false);
        input.SetInput(&rig.Ring);
        input.SetOutput(&rig.PullProbe);
        rig.Playback.SetOutput(&output);
        input.SetSpectrogram(0, &inputWaterfall);
        output.SetSpectrogram(0, &outputWaterfall);

        TMMHiTimer timer(nullptr);
        timer.SetEnabled(false);
        timer.SetCallBackMode(cmThread);
        timer.SetInterval(25);
        std::atomic<int> pulled{0}, pushed{0};
        input.OnBufferLoad = [&](TMMDSPComponent*, PWaveHdr, bool&) { ++pulled; };
        output.OnBufferReady = [&](TMMDSPComponent*, PWaveHdr) { ++pushed; };
        int ticks = 0;
        timer.SetOnTimer(
            [&](TMMHiTimer*)
            {
                output.Trigger();
                input.Trigger();
                ++ticks;
            });

        rig.SwitchOn();
        timer.SetEnabled(true);
        ProcessMessages();
        ASSERT_TRUE(input.Armed());
        ASSERT_TRUE(output.Armed());
        constexpr int Ticks = 60000 / 25;
        for (int tick = 1; tick <= Ticks; ++tick)
        {
            ASSERT_TRUE(rig.Run(25ms));
            clock.AdvanceMicroseconds(25000);
            AdvanceTimerService(25);
            const auto limit = std::chrono::steady_clock::now() + 10s;
            while (ticks < tick && std::chrono::steady_clock::now() < limit)
                WaitAndProcessMessages(1);
            ASSERT_EQ(ticks, tick);
        }
        timer.SetEnabled(false);
        rig.SwitchOff();

        // 60 s at 125 ms a buffer: about 480 buffers each way, three lines
        // each, less those of the two buffers the playback device pulls at
        // once when it starts and of the last one, whose play time the run
        // did not reach.
        testing::Test::RecordProperty("pulled", pulled.load());
        testing::Test::RecordProperty("pushed", pushed.load());
        testing::Test::RecordProperty("inputLines", inputWaterfall.Lines);
        testing::Test::RecordProperty("outputLines", outputWaterfall.Lines);
        EXPECT_GE(pulled.load(), 480);
        EXPECT_GE(pushed.load(), 478);
        EXPECT_EQ(inputWaterfall.Rate, 8000u);
        EXPECT_GE(inputWaterfall.Lines, 3 * (pulled.load() - 2));
        EXPECT_LE(inputWaterfall.Lines, 3 * pulled.load());
        EXPECT_GE(outputWaterfall.Lines, 3 * (pushed.load() - 2));
        EXPECT_LE(outputWaterfall.Lines, 3 * pushed.load());
        EXPECT_EQ(inputWaterfall.TornLines, 0);
        EXPECT_EQ(outputWaterfall.TornLines, 0);
        EXPECT_TRUE(inputWaterfall.InMainThread);
        EXPECT_TRUE(outputWaterfall.InMainThread);
        EXPECT_FALSE(input.IsConnectorStarted());
    }
    SetTimerServiceManual(false);
}

} // namespace
} // namespace keb
