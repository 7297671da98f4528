// The live chain plays the captured stream back: capture device -> ring buffer
// (duplex, 2 slots of 2000 bytes) -> playback device on one virtual card.
#include "ChainAnalysis.h"
#include "ChainRig.h"
#include "tests/platform/core/Watchdog.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{
using namespace std::chrono_literals;

constexpr std::size_t kFrames = 1000; // 2000 bytes of 16-bit mono
// The newest captured buffer can be this many buffers ahead of the last one
// played in full: one in the capture device's hands, two in the ring, two
// queued at the playback device.
constexpr std::int64_t kMostBehind = 5;

struct TRun
{
    TPlayedBuffers Buffers;
    std::uint64_t Captured = 0;
    int Empties = 0;
    int Overflows = 0;
};

TRun PlayCounter(std::int32_t CaptureRate, std::int32_t PlaybackRate)
{
    TChainSettings settings;
    settings.CaptureRate = CaptureRate;
    settings.PlaybackRate = PlaybackRate;
    TChainRig rig(settings, CounterSample);
    TRun run;
    std::atomic<int> empties{0};
    std::atomic<int> overflows{0};
    rig.Ring.OnEmpty = [&](TComponent*) { ++empties; };
    rig.Ring.OnOverlow = [&](TComponent*) { ++overflows; };
    rig.SwitchOn();
    EXPECT_TRUE(rig.Run(61s)) << "a worker stalled";
    run.Captured = rig.CapturedBuffers();
    rig.SwitchOff();
    const std::size_t first =
        static_cast<std::size_t>(settings.PlaybackLag.count()) * PlaybackRate / 1000000;
    run.Buffers = ReadPlayedBuffers(rig.Played(), first, kFrames);
    run.Empties = empties.load();
    run.Overflows = overflows.load();
    return run;
}

// Steps between consecutive played buffers: +1 is the next captured buffer.
std::vector<std::int64_t> Steps(const std::vector<std::int64_t>& Ids)
{
    std::vector<std::int64_t> steps;
    for (std::size_t i = 1; i < Ids.size(); ++i)
        steps.push_back(Ids[i] - Ids[i - 1]);
    return steps;
}

int CountOf(const std::vector<std::int64_t>& Values, std::int64_t Value)
{
    return static_cast<int>(std::count(Values.begin(), Values.end(), Value));
}
} // namespace

TEST(ChainStream, SharedClockPlaysEveryCapturedBufferOnceInOrder)
{
    TWatchdog watchdog(300s);
    const TRun run = PlayCounter(8000, 8000);
    const TPlayedBuffers& played = run.Buffers;

    EXPECT_GE(played.Silent, 2) << "the ring gives silence until it has filled";
    EXPECT_LE(played.Silent, 5);
    EXPECT_EQ(played.Foreign, 0);
    EXPECT_EQ(played.SilentLater, 0);
    ASSERT_GE(played.Ids.size(), 480u) << "60 s of 125 ms buffers";
    const std::vector<std::int64_t> steps = Steps(played.Ids);
    EXPECT_EQ(CountOf(steps, 1), static_cast<int>(steps.size())) << "lost or repeated buffers";
    EXPECT_LE(played.Ids.front(), 1) << "only what arrived before the ring was ready is gone";
    EXPECT_GE(played.Ids.back() + kMostBehind, static_cast<std::int64_t>(run.Captured))
        << "the playback side keeps up with the newest buffers";
    EXPECT_EQ(run.Empties, 0);
    EXPECT_EQ(run.Overflows, 0);
}

TEST(ChainStream, FasterCaptureClockNeverBlocksAndTheNewestBufferWins)
{
    TWatchdog watchdog(300s);
    const TRun run = PlayCounter(8080, 8000);
    const TPlayedBuffers& played = run.Buffers;

    EXPECT_EQ(played.Foreign, 0);
    EXPECT_EQ(played.SilentLater, 0);
    EXPECT_GE(run.Captured, 61u * 8080 / kFrames) << "every capture buffer went into the ring";
    const std::vector<std::int64_t> steps = Steps(played.Ids);
    const int skips = CountOf(steps, 2);
    EXPECT_EQ(CountOf(steps, 1) + skips, static_cast<int>(steps.size()))
        << "only single oldest buffers are dropped; nothing repeats or goes back";
    EXPECT_GE(skips, 3) << "1 % of about 480 buffers";
    EXPECT_LE(skips, 7);
    EXPECT_GE(played.Ids.back() + kMostBehind, static_cast<std::int64_t>(run.Captured))
        << "no backlog builds up: the newest buffers reach the playback side";
    EXPECT_EQ(run.Overflows, 0) << "with WaitIfFull nothing is refused";
    EXPECT_EQ(run.Empties, 0);
}

TEST(ChainStream, SlowerCaptureClockRepeatsTheLastBufferAndFiresOnEmpty)
{
    TWatchdog watchdog(300s);
    const TRun run = PlayCounter(8000, 8080);
    const TPlayedBuffers& played = run.Buffers;

    EXPECT_EQ(played.Foreign, 0);
    EXPECT_EQ(played.SilentLater, 0);
    const std::vector<std::int64_t> steps = Steps(played.Ids);
    const int repeats = CountOf(steps, 0);
    EXPECT_EQ(CountOf(steps, 1) + repeats, static_cast<int>(steps.size()))
        << "nothing is lost or played out of order";
    EXPECT_EQ(repeats, run.Empties) << "every repetition is an empty queue";
    EXPECT_GE(repeats, 3) << "1 % of about 480 buffers";
    EXPECT_LE(repeats, 7);
    EXPECT_EQ(run.Overflows, 0);
}

} // namespace keb::test
