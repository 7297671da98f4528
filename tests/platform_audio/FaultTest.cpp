#include "VirtualCardFixture.h"

namespace keb::test
{

namespace
{

std::string TextOf(TWaveResult Result)
{
    char Text[255] = {};
    EXPECT_EQ(WaveInGetErrorText(Result, Text, sizeof(Text)), wrNoError);
    return Text;
}

} // namespace

TEST_F(VirtualCardTest, OpenFaultGivesItsCodeUntilCleared)
{
    Card->Capture(0).FailOpen(wrAllocated);
    HWaveIn Device = reinterpret_cast<HWaveIn>(&Card); // must be cleared by the failing open
    EXPECT_EQ(WaveInOpen(&Device, 0, &Format, Recorder::OnCapture, &CaptureEvents), wrAllocated);
    EXPECT_EQ(Device, nullptr);
    EXPECT_TRUE(CaptureEvents.Taken().empty());
    EXPECT_EQ(TextOf(wrAllocated), "The sound device is already in use");

    Card->Capture(0).FailOpen(wrNoError);
    Device = OpenCapture();
    // The device is now in use: a second open is refused.
    HWaveIn Second = nullptr;
    EXPECT_EQ(WaveInOpen(&Second, 0, &Format, nullptr, nullptr), wrAllocated);
    EXPECT_EQ(WaveInClose(Device), wrNoError);
}

TEST_F(VirtualCardTest, QueueFaultRefusesAddAndWriteWithItsCode)
{
    HWaveIn Capture = OpenCapture();
    HWaveOut Playback = OpenPlayback();
    OwnedBuffer Recorded(2000), Played(2000);
    ASSERT_EQ(WaveInPrepareHeader(Capture, &Recorded.Header), wrNoError);
    ASSERT_EQ(WaveOutPrepareHeader(Playback, &Played.Header), wrNoError);
    Card->Capture(0).FailQueue(wrNoMemory);
    Card->Playback(0).FailQueue(wrError);
    EXPECT_EQ(WaveInAddBuffer(Capture, &Recorded.Header), wrNoMemory);
    EXPECT_EQ(WaveOutWrite(Playback, &Played.Header), wrError);
    EXPECT_EQ(LoadWaveHdrFlags(Recorded.Header), WaveHdrPrepared); // not queued
    EXPECT_EQ(TextOf(wrNoMemory), "Not enough memory for the sound device");
    EXPECT_EQ(TextOf(wrError), "The sound device reported an unspecified error");

    Card->Capture(0).FailQueue(wrNoError);
    EXPECT_EQ(WaveInAddBuffer(Capture, &Recorded.Header), wrNoError);
    EXPECT_EQ(WaveInReset(Capture), wrNoError);
    EXPECT_EQ(WaveInClose(Capture), wrNoError);
    EXPECT_EQ(WaveOutClose(Playback), wrNoError);
}

TEST_F(VirtualCardTest, StalledCardReturnsNothingUntilResetAndDoesNotCatchUp)
{
    HWaveIn Device = OpenCapture();
    OwnedBuffer First(2000), Second(2000);
    AddAll(Device, {&First, &Second});
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card->Capture(0).Stall(true);
    Card->AdvanceMilliseconds(1000);
    EXPECT_TRUE(CaptureEvents.Taken().empty());
    TWavePosition Position{};
    ASSERT_EQ(WaveInGetPosition(Device, &Position), wrNoError);
    EXPECT_EQ(Position.Bytes, 0u);
    // Waiting for a stalled buffer's done flag must end: the buffer stays queued.
    EXPECT_EQ(WaveInUnprepareHeader(Device, &First.Header), wrStillPlaying);
    EXPECT_EQ(TextOf(wrStillPlaying), "Buffers are still queued at the sound device");

    Card->Capture(0).Stall(false);
    Card->AdvanceMilliseconds(125);
    EXPECT_EQ(CaptureEvents.DoneHeaders(), std::vector<TWaveHdr*>{&First.Header});

    Card->Capture(0).Stall(true);
    ASSERT_EQ(WaveInReset(Device), wrNoError);
    EXPECT_EQ(CaptureEvents.DoneHeaders(), std::vector<TWaveHdr*>{&Second.Header});
    EXPECT_EQ(WaveInClose(Device), wrNoError);
}

TEST_F(VirtualCardTest, LostClosedNotificationStillClosesTheDevice)
{
    HWaveOut Device = OpenPlayback();
    Card->Playback(0).LoseClosedNotification(true);
    EXPECT_EQ(WaveOutClose(Device), wrNoError);
    EXPECT_TRUE(PlaybackEvents.Taken().empty());
    // The device is free again.
    Card->Playback(0).LoseClosedNotification(false);
    Device = OpenPlayback();
    EXPECT_EQ(WaveOutClose(Device), wrNoError);
    ExpectOnly(PlaybackEvents, wmClosed);
}

TEST_F(VirtualCardTest, VanishingDeviceFailsAndReturnsItsBuffersAndStaysClosable)
{
    HWaveIn Device = OpenCapture();
    OwnedBuffer First(2000), Second(2000);
    AddAll(Device, {&First, &Second});
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card->AdvanceMilliseconds(60);

    Card->Capture(0).Vanish();
    const auto Events = CaptureEvents.Taken();
    ASSERT_EQ(Events.size(), 3u);
    EXPECT_EQ(Events[0].Message, wmFailed);
    EXPECT_EQ(Events[0].Result, wrDeviceRemoved);
    EXPECT_EQ(Events[1].Header, &First.Header);
    EXPECT_EQ(Events[2].Header, &Second.Header);
    EXPECT_EQ(First.Bytes(), Counter(0, 960));
    EXPECT_EQ(LoadWaveHdrFlags(Second.Header), WaveHdrDone | WaveHdrPrepared);
    EXPECT_EQ(TextOf(wrDeviceRemoved), "The sound device was removed or stopped working");

    // The component's re-queue and restart see the failure ...
    EXPECT_EQ(WaveInAddBuffer(Device, &First.Header), wrDeviceRemoved);
    EXPECT_EQ(WaveInStart(Device), wrDeviceRemoved);
    // ... while its stop and close still work.
    EXPECT_EQ(WaveInStop(Device), wrNoError);
    EXPECT_EQ(WaveInReset(Device), wrNoError);
    EXPECT_EQ(WaveInUnprepareHeader(Device, &First.Header), wrNoError);
    EXPECT_EQ(WaveInClose(Device), wrNoError);

    HWaveIn Again = nullptr;
    EXPECT_EQ(WaveInQueryFormat(0, &Format), wrDeviceRemoved);
    EXPECT_EQ(WaveInOpen(&Again, 0, &Format, nullptr, nullptr), wrDeviceRemoved);
}

TEST_F(VirtualCardTest, VanishingPlaybackDeviceFailsItsWrites)
{
    HWaveOut Device = OpenPlayback();
    OwnedBuffer Played(2000);
    WriteAll(Device, {&Played});
    Card->Playback(0).Vanish();
    const auto Events = PlaybackEvents.Taken();
    ASSERT_EQ(Events.size(), 2u);
    EXPECT_EQ(Events[0].Message, wmFailed);
    EXPECT_EQ(Events[1].Header, &Played.Header);
    EXPECT_EQ(WaveOutWrite(Device, &Played.Header), wrDeviceRemoved);
    EXPECT_EQ(WaveOutRestart(Device), wrDeviceRemoved);
    EXPECT_EQ(WaveOutPause(Device), wrNoError);
    EXPECT_EQ(WaveOutReset(Device), wrNoError);
    EXPECT_EQ(WaveOutClose(Device), wrNoError);
}

} // namespace keb::test
