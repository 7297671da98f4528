// A sound card that fails while the whole window runs: each fault shows one
// error box with the device's message, leaves the window stopped with both
// devices closed, and ON plays again once the fault is gone. Cards that stop
// returning buffers without saying so are caught after a second of silence.
#include "FaultWindowTest.h"

#include <tuple>

namespace keb::test
{
namespace
{

struct TDeviceFault
{
    const char* Name;
    // Puts the fault on (true) or takes it away (false).
    std::function<void(TVirtualSoundCard& Card, bool On)> Switch;
    // The card goes silent without an error: only a second of silence tells.
    bool Silent;
    std::string Message;
};

std::ostream& operator<<(std::ostream& Stream, const TDeviceFault& Fault)
{
    return Stream << Fault.Name;
}

const std::string Stalled = "The sound device stopped responding (no audio for a second)";
const std::string Removed = "The sound device was removed or stopped working";

const TDeviceFault Faults[] = {
    {"CaptureAddFails",
     [](TVirtualSoundCard& Card, bool On)
     { Card.Capture(0).FailQueue(On ? wrNoMemory : wrNoError); },
     false, "WaveInAddBuffer:\n\rNot enough memory for the sound device"},
    {"CaptureStopsReturningBuffers",
     [](TVirtualSoundCard& Card, bool On) { Card.Capture(0).Stall(On); }, true,
     "WaveInAddBuffer:\n\r" + Stalled},
    {"PlaybackWriteFails",
     [](TVirtualSoundCard& Card, bool On) { Card.Playback(0).FailQueue(On ? wrError : wrNoError); },
     false, "WaveOutWrite:\n\rThe sound device reported an unspecified error"},
    {"PlaybackStopsReturningBuffers",
     [](TVirtualSoundCard& Card, bool On) { Card.Playback(0).Stall(On); }, true,
     "WaveOutWrite:\n\r" + Stalled},
    {"CaptureVanishes",
     [](TVirtualSoundCard& Card, bool On)
     { On ? Card.Capture(0).Vanish() : Card.Capture(0).Reconnect(); },
     false, "WaveInAddBuffer:\n\r" + Removed},
    {"PlaybackVanishes",
     [](TVirtualSoundCard& Card, bool On)
     { On ? Card.Playback(0).Vanish() : Card.Playback(0).Reconnect(); },
     false, "WaveOutWrite:\n\r" + Removed},
};

using TFaultRun = std::tuple<TDeviceFault, TVirtualClock>;

class DeviceFaultTest : public FaultWindowTest, public ::testing::WithParamInterface<TFaultRun>
{
  protected:
    DeviceFaultTest() { Clock = std::get<TVirtualClock>(GetParam()); }
};

// A second of the card's time in buffers, and enough steps to see a fault.
constexpr int SecondOfBuffers = 8;
constexpr int StepsToNotice = 3 * SecondOfBuffers;

TEST_P(DeviceFaultTest, ShowsOneErrorStopsTheWindowAndOnPlaysAgain)
{
    const TDeviceFault& fault = std::get<TDeviceFault>(GetParam());
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(Play(4));
    ExpectRunning("before the fault");

    fault.Switch(*Card, true);
    // Only the stepped card's time is exact enough to tell a second of
    // silence from a little more.
    if (fault.Silent && Clock == TVirtualClock::Stepped)
    {
        RunCard(SecondOfBuffers);
        PumpFor(200ms);
        EXPECT_TRUE(ErrorBoxes.empty()) << "a second of silence is not yet a failure";
        ExpectRunning("after a second of silence");
    }
    ASSERT_TRUE(RunCardUntil([&] { return !ErrorBoxes.empty(); }, StepsToNotice));
    // Whatever else the failing device still sends finds the window stopped.
    RunCard(4);
    PumpFor(100ms);
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_EQ(ErrorBoxes[0], fault.Message);
    ExpectStopped("after the fault");

    fault.Switch(*Card, false);
    ExpectOnPlaysAgain();
    EXPECT_EQ(ErrorBoxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(LiveRun, DeviceFaultTest,
                         ::testing::Combine(::testing::ValuesIn(Faults),
                                            ::testing::Values(TVirtualClock::Stepped,
                                                              TVirtualClock::RealTime)),
                         [](const ::testing::TestParamInfo<TFaultRun>& Info)
                         {
                             const bool stepped =
                                 std::get<TVirtualClock>(Info.param) == TVirtualClock::Stepped;
                             return std::string(std::get<TDeviceFault>(Info.param).Name) +
                                    (stepped ? "_SteppedClock" : "_RealTimeClock");
                         });

// One of the two devices, for the cases that both go through alike.
class SingleDeviceTest : public FaultWindowTest,
                         public ::testing::WithParamInterface<TWaveDirection>
{
  protected:
    TVirtualDevice& Device()
    {
        return GetParam() == TWaveDirection::Capture ? Card->Capture(0) : Card->Playback(0);
    }
};

TEST_P(SingleDeviceTest, OnWhileStillUnpluggedShowsOneErrorAndStaysStopped)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(Play(2));
    Device().Vanish();
    ASSERT_TRUE(RunCardUntil([&] { return !ErrorBoxes.empty(); }, StepsToNotice));
    ExpectStopped("after the unplugging");

    Click(form.StartBtn);
    PumpFor(100ms);
    ASSERT_EQ(ErrorBoxes.size(), 2u);
    const std::string api = GetParam() == TWaveDirection::Capture ? "WaveIn" : "WaveOut";
    EXPECT_EQ(ErrorBoxes[1], api + "Open:\n\rThe sound device was removed or stopped working");
    ExpectStopped("after ON on the unplugged card");

    Device().Reconnect();
    ExpectOnPlaysAgain();
    EXPECT_EQ(ErrorBoxes.size(), 2u);
}

TEST_P(SingleDeviceTest, OffWhileTheCardIsSilentStopsAtOnceWithoutAnError)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(Play(4));
    Device().Stall(true);
    RunCard(4);
    Click(form.StopBtn);
    ExpectStopped("after OFF");
    RunCard(SecondOfBuffers + 1);
    PumpFor(100ms);
    EXPECT_TRUE(ErrorBoxes.empty());

    Device().Stall(false);
    ExpectOnPlaysAgain();
    EXPECT_TRUE(ErrorBoxes.empty());
}

INSTANTIATE_TEST_SUITE_P(LiveRun, SingleDeviceTest,
                         ::testing::Values(TWaveDirection::Capture, TWaveDirection::Playback),
                         [](const ::testing::TestParamInfo<TWaveDirection>& Info) {
                             return Info.param == TWaveDirection::Capture ? "Capture" : "Playback";
                         });

} // namespace
} // namespace keb::test
