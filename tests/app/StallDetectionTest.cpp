// The wave layer's stall detection: the shared detector's rule, and a
// running virtual device that stops moving audio failing after a second of
// the card's time.
#include "WaveTestSupport.h"
#include "platform/audio/StallDetector.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

using namespace std::chrono_literals;

TEST(StallDetectorTest, ReportsOnceWhenSilenceOutlastsTheTimeoutAndAgainAfterRestart)
{
    TStallDetector detector(1s);
    detector.Beat(); // before Restart: no sign of life
    detector.Restart();
    EXPECT_FALSE(detector.Elapse(600ms));
    EXPECT_FALSE(detector.Elapse(400ms)) << "exactly the timeout is not yet a stall";
    EXPECT_TRUE(detector.Elapse(1ms));
    EXPECT_FALSE(detector.Elapse(10s)) << "reported once";

    detector.Restart();
    EXPECT_FALSE(detector.Elapse(900ms));
    detector.Beat();
    EXPECT_FALSE(detector.Elapse(900ms)) << "a beat starts the silence again";
    EXPECT_FALSE(detector.Elapse(1000ms));
    EXPECT_TRUE(detector.Elapse(1ms));
}

TEST(StallDetectorTest, AStreamFarSlowerThanItsPaceCountsAsSilent)
{
    TStallDetector detector(1s, 2000); // a quarter of 8000 Hz
    detector.Restart();
    for (int check = 0; check < 8; ++check)
    {
        detector.Beat(2000 / 4);
        EXPECT_FALSE(detector.Elapse(250ms)) << "exactly the least pace is life";
    }
    // A 64-frame period now and then: beats come, but far too few frames.
    for (int check = 0; check < 4; ++check)
    {
        detector.Beat(64);
        EXPECT_FALSE(detector.Elapse(250ms));
    }
    EXPECT_TRUE(detector.Elapse(1ms));

    detector.Restart();
    EXPECT_FALSE(detector.Elapse(900ms));
    detector.Beat(1024); // one long period after a long wait is life again
    EXPECT_FALSE(detector.Elapse(250ms));
    EXPECT_FALSE(detector.Elapse(1000ms));
    EXPECT_TRUE(detector.Elapse(1ms));
}

class VirtualStallTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Card->AddCaptureDevice("Receiver", MakeToneSource(1000, 0.5, 0));
        Card->AddPlaybackDevice("Speaker", MakeNullSink());
        UseVirtualSoundCard(Card);
    }
    void TearDown() override { UseVirtualSoundCard(nullptr); }

    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    std::shared_ptr<TVirtualSoundCard> Card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    Recorder Events;
};

TEST_F(VirtualStallTest, RunningCaptureThatDeliversNothingForASecondFails)
{
    HWaveIn device = nullptr;
    ASSERT_EQ(WaveInOpen(&device, 0, &Format, Recorder::OnCapture, &Events), wrNoError);
    OwnedBuffer first(2000), second(2000);
    for (OwnedBuffer* buffer : {&first, &second})
    {
        ASSERT_EQ(WaveInPrepareHeader(device, &buffer->Header), wrNoError);
        ASSERT_EQ(WaveInAddBuffer(device, &buffer->Header), wrNoError);
    }
    // Open and idle, or halted: nothing is expected, nothing fails.
    Card->Capture(0).Stall(true);
    Card->AdvanceMilliseconds(5000);
    ASSERT_EQ(WaveInStart(device), wrNoError);
    ASSERT_EQ(WaveInStop(device), wrNoError);
    Card->AdvanceMilliseconds(5000);
    EXPECT_EQ(Events.FailedCount(), 0u);

    ASSERT_EQ(WaveInStart(device), wrNoError);
    Card->AdvanceMilliseconds(1000);
    EXPECT_EQ(Events.FailedCount(), 0u);
    Card->AdvanceMilliseconds(1);
    const std::vector<Notification> events = Events.Taken();
    ASSERT_EQ(events.size(), 4u); // opened, failed, both buffers back
    EXPECT_EQ(events[1].Message, wmFailed);
    EXPECT_EQ(events[1].Result, wrDeviceStalled);
    EXPECT_EQ(events[2].Header, &first.Header);
    EXPECT_EQ(events[3].Header, &second.Header);
    EXPECT_EQ(WaveErrorText(wrDeviceStalled),
              "The sound device stopped responding (no audio for a second)");
    EXPECT_EQ(WaveInAddBuffer(device, &first.Header), wrDeviceStalled);
    EXPECT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(WaveInClose(device), wrNoError);
}

TEST_F(VirtualStallTest, PlaybackThatTakesNothingForASecondFailsAndReturnsItsBuffers)
{
    HWaveOut device = nullptr;
    ASSERT_EQ(WaveOutOpen(&device, 0, &Format, Recorder::OnPlayback, &Events), wrNoError);
    // A running device with nothing queued plays silence: it is alive.
    Card->AdvanceMilliseconds(3000);
    EXPECT_EQ(Events.FailedCount(), 0u);

    OwnedBuffer played(2000);
    ASSERT_EQ(WaveOutPrepareHeader(device, &played.Header), wrNoError);
    ASSERT_EQ(WaveOutWrite(device, &played.Header), wrNoError);
    Card->Playback(0).Stall(true);
    Card->AdvanceFrames(8000);
    EXPECT_EQ(Events.FailedCount(), 0u);
    Card->AdvanceFrames(8);
    EXPECT_EQ(Events.FailedCount(), 1u);
    EXPECT_EQ(Events.DoneHeaders(), std::vector<TWaveHdr*>{&played.Header});
    EXPECT_EQ(WaveOutWrite(device, &played.Header), wrDeviceStalled);
    EXPECT_EQ(WaveOutClose(device), wrNoError);
}

} // namespace
} // namespace keb::test
