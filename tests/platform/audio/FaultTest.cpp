#include "VirtualCardFixture.h"

namespace keb::test
{

namespace
{

std::string TextOf(TWaveResult result)
{
    char text[255] = {};
    EXPECT_EQ(WaveInGetErrorText(result, text, sizeof(text)), wrNoError);
    return text;
}

} // namespace

TEST_F(VirtualCardTest, OpenFaultGivesItsCodeUntilCleared)
{
    card_->Capture(0).FailOpen(wrAllocated);
    HWaveIn device = reinterpret_cast<HWaveIn>(&card_); // must be cleared by the failing open
    EXPECT_EQ(WaveInOpen(&device, 0, &format_, Recorder::OnCapture, &captureEvents_), wrAllocated);
    EXPECT_EQ(device, nullptr);
    EXPECT_TRUE(captureEvents_.Taken().empty());
    EXPECT_EQ(TextOf(wrAllocated), "The sound device is already in use");

    card_->Capture(0).FailOpen(wrNoError);
    device = OpenCapture();
    // The device is now in use: a second open is refused.
    HWaveIn second = nullptr;
    EXPECT_EQ(WaveInOpen(&second, 0, &format_, nullptr, nullptr), wrAllocated);
    EXPECT_EQ(WaveInClose(device), wrNoError);
}

TEST_F(VirtualCardTest, QueueFaultRefusesAddAndWriteWithItsCode)
{
    HWaveIn capture = OpenCapture();
    HWaveOut playback = OpenPlayback();
    OwnedBuffer recorded(2000), played(2000);
    ASSERT_EQ(WaveInPrepareHeader(capture, &recorded.Header), wrNoError);
    ASSERT_EQ(WaveOutPrepareHeader(playback, &played.Header), wrNoError);
    card_->Capture(0).FailQueue(wrNoMemory);
    card_->Playback(0).FailQueue(wrError);
    EXPECT_EQ(WaveInAddBuffer(capture, &recorded.Header), wrNoMemory);
    EXPECT_EQ(WaveOutWrite(playback, &played.Header), wrError);
    EXPECT_EQ(LoadWaveHdrFlags(recorded.Header), WaveHdrPrepared); // not queued
    EXPECT_EQ(TextOf(wrNoMemory), "Not enough memory for the sound device");
    EXPECT_EQ(TextOf(wrError), "The sound device reported an unspecified error");

    card_->Capture(0).FailQueue(wrNoError);
    EXPECT_EQ(WaveInAddBuffer(capture, &recorded.Header), wrNoError);
    EXPECT_EQ(WaveInReset(capture), wrNoError);
    EXPECT_EQ(WaveInClose(capture), wrNoError);
    EXPECT_EQ(WaveOutClose(playback), wrNoError);
}

TEST_F(VirtualCardTest, StalledCardReturnsNothingUntilResetAndDoesNotCatchUp)
{
    HWaveIn device = OpenCapture();
    OwnedBuffer first(2000), second(2000);
    AddAll(device, {&first, &second});
    ASSERT_EQ(WaveInStart(device), wrNoError);
    card_->Capture(0).Stall(true);
    card_->AdvanceMilliseconds(1000);
    EXPECT_TRUE(captureEvents_.Taken().empty());
    TWavePosition position{};
    ASSERT_EQ(WaveInGetPosition(device, &position), wrNoError);
    EXPECT_EQ(position.Bytes, 0u);
    // Waiting for a stalled buffer's done flag must end: the buffer stays queued.
    EXPECT_EQ(WaveInUnprepareHeader(device, &first.Header), wrStillPlaying);
    EXPECT_EQ(TextOf(wrStillPlaying), "Buffers are still queued at the sound device");

    card_->Capture(0).Stall(false);
    card_->AdvanceMilliseconds(125);
    EXPECT_EQ(captureEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&first.Header});

    card_->Capture(0).Stall(true);
    ASSERT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(captureEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&second.Header});
    EXPECT_EQ(WaveInClose(device), wrNoError);
}

TEST_F(VirtualCardTest, LostClosedNotificationStillClosesTheDevice)
{
    HWaveOut device = OpenPlayback();
    card_->Playback(0).LoseClosedNotification(true);
    EXPECT_EQ(WaveOutClose(device), wrNoError);
    EXPECT_TRUE(playbackEvents_.Taken().empty());
    // The device is free again.
    card_->Playback(0).LoseClosedNotification(false);
    device = OpenPlayback();
    EXPECT_EQ(WaveOutClose(device), wrNoError);
    ExpectOnly(playbackEvents_, wmClosed);
}

TEST_F(VirtualCardTest, VanishingDeviceFailsAndReturnsItsBuffersAndStaysClosable)
{
    HWaveIn device = OpenCapture();
    OwnedBuffer first(2000), second(2000);
    AddAll(device, {&first, &second});
    ASSERT_EQ(WaveInStart(device), wrNoError);
    card_->AdvanceMilliseconds(60);

    card_->Capture(0).Vanish();
    const auto events = captureEvents_.Taken();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].Message, wmFailed);
    EXPECT_EQ(events[0].Result, wrDeviceRemoved);
    EXPECT_EQ(events[1].Header, &first.Header);
    EXPECT_EQ(events[2].Header, &second.Header);
    EXPECT_EQ(first.Bytes(), Counter(0, 960));
    EXPECT_EQ(LoadWaveHdrFlags(second.Header), WaveHdrDone | WaveHdrPrepared);
    EXPECT_EQ(TextOf(wrDeviceRemoved), "The sound device was removed or stopped working");

    // The component's re-queue and restart see the failure ...
    EXPECT_EQ(WaveInAddBuffer(device, &first.Header), wrDeviceRemoved);
    EXPECT_EQ(WaveInStart(device), wrDeviceRemoved);
    // ... while its stop and close still work.
    EXPECT_EQ(WaveInStop(device), wrNoError);
    EXPECT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(WaveInUnprepareHeader(device, &first.Header), wrNoError);
    EXPECT_EQ(WaveInClose(device), wrNoError);

    HWaveIn again = nullptr;
    EXPECT_EQ(WaveInQueryFormat(0, &format_), wrDeviceRemoved);
    EXPECT_EQ(WaveInOpen(&again, 0, &format_, nullptr, nullptr), wrDeviceRemoved);
}

TEST_F(VirtualCardTest, VanishingPlaybackDeviceFailsItsWrites)
{
    HWaveOut device = OpenPlayback();
    OwnedBuffer played(2000);
    WriteAll(device, {&played});
    card_->Playback(0).Vanish();
    const auto events = playbackEvents_.Taken();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Message, wmFailed);
    EXPECT_EQ(events[1].Header, &played.Header);
    EXPECT_EQ(WaveOutWrite(device, &played.Header), wrDeviceRemoved);
    EXPECT_EQ(WaveOutRestart(device), wrDeviceRemoved);
    EXPECT_EQ(WaveOutPause(device), wrNoError);
    EXPECT_EQ(WaveOutReset(device), wrNoError);
    EXPECT_EQ(WaveOutClose(device), wrNoError);
}

} // namespace keb::test
