#include "VirtualCardFixture.h"

namespace keb::test
{

namespace
{

constexpr std::uint32_t DoneAndPrepared = WaveHdrDone | WaveHdrPrepared;

} // namespace

TEST_F(VirtualCardTest, CaptureReturnsQueuedBuffersInOrderFullAndFlagged)
{
    HWaveIn device = OpenCapture();
    OwnedBuffer first(2000, 11), second(2000, 12), third(2000, 13);
    AddAll(device, {&first, &second, &third});
    EXPECT_EQ(LoadWaveHdrFlags(first.Header), WaveHdrPrepared | WaveHdrInQueue);

    card_->AdvanceMilliseconds(1000); // not started: nothing is recorded
    EXPECT_TRUE(captureEvents_.Taken().empty());

    ASSERT_EQ(WaveInStart(device), wrNoError);
    card_->AdvanceMilliseconds(250);
    EXPECT_EQ(captureEvents_.DoneHeaders(),
              (std::vector<TWaveHdr*>{&first.Header, &second.Header}));
    EXPECT_EQ(first.Bytes(), Counter(0, 2000));
    EXPECT_EQ(second.Bytes(), Counter(2000, 2000));
    EXPECT_EQ(LoadWaveHdrFlags(first.Header), DoneAndPrepared);
    EXPECT_EQ(first.Header.dwUser, 11u);
    EXPECT_EQ(LoadWaveHdrFlags(third.Header), WaveHdrPrepared | WaveHdrInQueue);

    // Re-queued like a capture worker does: it comes back after the third.
    ASSERT_EQ(WaveInAddBuffer(device, &first.Header), wrNoError);
    EXPECT_EQ(first.Header.dwBytesRecorded, 0u);
    card_->AdvanceFrames(2000);
    EXPECT_EQ(captureEvents_.DoneHeaders(), (std::vector<TWaveHdr*>{&third.Header, &first.Header}));
    EXPECT_EQ(third.Bytes(), Counter(4000, 2000));
    EXPECT_EQ(first.Bytes(), Counter(6000, 2000));

    TWavePosition position{};
    ASSERT_EQ(WaveInGetPosition(device, &position), wrNoError);
    EXPECT_EQ(position.Bytes, 8000u);
    EXPECT_EQ(position.Samples, 4000u);
    EXPECT_EQ(position.Milliseconds, 500u);

    EXPECT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(WaveInClose(device), wrNoError);
    ExpectOnly(captureEvents_, wmClosed);
}

TEST_F(VirtualCardTest, CaptureResetReturnsEveryQueuedBufferInOrder)
{
    HWaveIn device = OpenCapture();
    OwnedBuffer first(2000), second(2000), third(2000);
    AddAll(device, {&first, &second, &third});
    ASSERT_EQ(WaveInStart(device), wrNoError);
    card_->AdvanceMilliseconds(60); // 480 frames into the first buffer

    EXPECT_EQ(WaveInClose(device), wrStillPlaying);
    EXPECT_EQ(WaveInUnprepareHeader(device, &second.Header), wrStillPlaying);
    ASSERT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(captureEvents_.DoneHeaders(),
              (std::vector<TWaveHdr*>{&first.Header, &second.Header, &third.Header}));
    EXPECT_EQ(first.Bytes(), Counter(0, 960));
    EXPECT_EQ(second.Header.dwBytesRecorded, 0u);
    for (OwnedBuffer* buffer : {&first, &second, &third})
    {
        EXPECT_EQ(LoadWaveHdrFlags(buffer->Header), DoneAndPrepared);
        EXPECT_EQ(WaveInUnprepareHeader(device, &buffer->Header), wrNoError);
        EXPECT_EQ(LoadWaveHdrFlags(buffer->Header), WaveHdrDone);
    }
    TWavePosition position{};
    ASSERT_EQ(WaveInGetPosition(device, &position), wrNoError);
    EXPECT_EQ(position.Bytes, 0u);

    // A reset device records nothing until it is started again.
    card_->AdvanceMilliseconds(500);
    EXPECT_TRUE(captureEvents_.Taken().empty());
    EXPECT_EQ(WaveInClose(device), wrNoError);
}

TEST_F(VirtualCardTest, CaptureStopReturnsThePartialBufferAndStartResumesSeamlessly)
{
    HWaveIn device = OpenCapture();
    OwnedBuffer first(2000), second(2000), third(2000);
    AddAll(device, {&first, &second});
    ASSERT_EQ(WaveInStart(device), wrNoError);
    card_->AdvanceMilliseconds(60);
    ASSERT_EQ(WaveInStop(device), wrNoError);
    EXPECT_EQ(captureEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&first.Header});
    EXPECT_EQ(first.Bytes(), Counter(0, 960));

    // Stopped with an empty buffer at the head: nothing more comes back.
    ASSERT_EQ(WaveInStop(device), wrNoError);
    card_->AdvanceMilliseconds(1000);
    EXPECT_TRUE(captureEvents_.Taken().empty());

    ASSERT_EQ(WaveInStart(device), wrNoError);
    AddAll(device, {&third});
    card_->AdvanceMilliseconds(250);
    EXPECT_EQ(captureEvents_.DoneHeaders(),
              (std::vector<TWaveHdr*>{&second.Header, &third.Header}));
    EXPECT_EQ(second.Bytes(), Counter(960, 2000));
    EXPECT_EQ(third.Bytes(), Counter(2960, 2000));
    EXPECT_EQ(WaveInClose(device), wrNoError);
}

TEST_F(VirtualCardTest, LoopbackCaptureRecordsWhatThePlaybackDevicePlayed)
{
    HWaveOut speaker = OpenPlayback(0);
    HWaveIn loopback = OpenCapture(1);
    OwnedBuffer recorded1(2000), recorded2(2000);
    AddAll(loopback, {&recorded1, &recorded2});
    ASSERT_EQ(WaveInStart(loopback), wrNoError);
    OwnedBuffer played1(2000), played2(2000);
    played1.Fill(Pattern(2000, 1));
    played2.Fill(Pattern(2000, 99));
    WriteAll(speaker, {&played1, &played2});

    card_->AdvanceMilliseconds(250);
    EXPECT_EQ(playbackEvents_.DoneHeaders(),
              (std::vector<TWaveHdr*>{&played1.Header, &played2.Header}));
    EXPECT_EQ(captureEvents_.DoneHeaders(),
              (std::vector<TWaveHdr*>{&recorded1.Header, &recorded2.Header}));
    EXPECT_EQ(recorded1.Bytes(), Pattern(2000, 1));
    EXPECT_EQ(recorded2.Bytes(), Pattern(2000, 99));

    EXPECT_EQ(WaveInReset(loopback), wrNoError);
    EXPECT_EQ(WaveInClose(loopback), wrNoError);
    EXPECT_EQ(WaveOutClose(speaker), wrNoError);
}

} // namespace keb::test
