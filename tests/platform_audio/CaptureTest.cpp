#include "VirtualCardFixture.h"

namespace keb::test
{

namespace
{

constexpr std::uint32_t DoneAndPrepared = WaveHdrDone | WaveHdrPrepared;

} // namespace

TEST_F(VirtualCardTest, CaptureReturnsQueuedBuffersInOrderFullAndFlagged)
{
    HWaveIn Device = OpenCapture();
    OwnedBuffer First(2000, 11), Second(2000, 12), Third(2000, 13);
    AddAll(Device, {&First, &Second, &Third});
    EXPECT_EQ(LoadWaveHdrFlags(First.Header), WaveHdrPrepared | WaveHdrInQueue);

    Card->AdvanceMilliseconds(1000); // not started: nothing is recorded
    EXPECT_TRUE(CaptureEvents.Taken().empty());

    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card->AdvanceMilliseconds(250);
    EXPECT_EQ(CaptureEvents.DoneHeaders(), (std::vector<TWaveHdr*>{&First.Header, &Second.Header}));
    EXPECT_EQ(First.Bytes(), Counter(0, 2000));
    EXPECT_EQ(Second.Bytes(), Counter(2000, 2000));
    EXPECT_EQ(LoadWaveHdrFlags(First.Header), DoneAndPrepared);
    EXPECT_EQ(First.Header.dwUser, 11u);
    EXPECT_EQ(LoadWaveHdrFlags(Third.Header), WaveHdrPrepared | WaveHdrInQueue);

    // Re-queued like a capture worker does: it comes back after the third.
    ASSERT_EQ(WaveInAddBuffer(Device, &First.Header), wrNoError);
    EXPECT_EQ(First.Header.dwBytesRecorded, 0u);
    Card->AdvanceFrames(2000);
    EXPECT_EQ(CaptureEvents.DoneHeaders(), (std::vector<TWaveHdr*>{&Third.Header, &First.Header}));
    EXPECT_EQ(Third.Bytes(), Counter(4000, 2000));
    EXPECT_EQ(First.Bytes(), Counter(6000, 2000));

    TWavePosition Position{};
    ASSERT_EQ(WaveInGetPosition(Device, &Position), wrNoError);
    EXPECT_EQ(Position.Bytes, 8000u);
    EXPECT_EQ(Position.Samples, 4000u);
    EXPECT_EQ(Position.Milliseconds, 500u);

    EXPECT_EQ(WaveInReset(Device), wrNoError);
    EXPECT_EQ(WaveInClose(Device), wrNoError);
    ExpectOnly(CaptureEvents, wmClosed);
}

TEST_F(VirtualCardTest, CaptureResetReturnsEveryQueuedBufferInOrder)
{
    HWaveIn Device = OpenCapture();
    OwnedBuffer First(2000), Second(2000), Third(2000);
    AddAll(Device, {&First, &Second, &Third});
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card->AdvanceMilliseconds(60); // 480 frames into the first buffer

    EXPECT_EQ(WaveInClose(Device), wrStillPlaying);
    EXPECT_EQ(WaveInUnprepareHeader(Device, &Second.Header), wrStillPlaying);
    ASSERT_EQ(WaveInReset(Device), wrNoError);
    EXPECT_EQ(CaptureEvents.DoneHeaders(),
              (std::vector<TWaveHdr*>{&First.Header, &Second.Header, &Third.Header}));
    EXPECT_EQ(First.Bytes(), Counter(0, 960));
    EXPECT_EQ(Second.Header.dwBytesRecorded, 0u);
    for (OwnedBuffer* Buffer : {&First, &Second, &Third})
    {
        EXPECT_EQ(LoadWaveHdrFlags(Buffer->Header), DoneAndPrepared);
        EXPECT_EQ(WaveInUnprepareHeader(Device, &Buffer->Header), wrNoError);
        EXPECT_EQ(LoadWaveHdrFlags(Buffer->Header), WaveHdrDone);
    }
    TWavePosition Position{};
    ASSERT_EQ(WaveInGetPosition(Device, &Position), wrNoError);
    EXPECT_EQ(Position.Bytes, 0u);

    // A reset device records nothing until it is started again.
    Card->AdvanceMilliseconds(500);
    EXPECT_TRUE(CaptureEvents.Taken().empty());
    EXPECT_EQ(WaveInClose(Device), wrNoError);
}

TEST_F(VirtualCardTest, CaptureStopReturnsThePartialBufferAndStartResumesSeamlessly)
{
    HWaveIn Device = OpenCapture();
    OwnedBuffer First(2000), Second(2000), Third(2000);
    AddAll(Device, {&First, &Second});
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card->AdvanceMilliseconds(60);
    ASSERT_EQ(WaveInStop(Device), wrNoError);
    EXPECT_EQ(CaptureEvents.DoneHeaders(), std::vector<TWaveHdr*>{&First.Header});
    EXPECT_EQ(First.Bytes(), Counter(0, 960));

    // Stopped with an empty buffer at the head: nothing more comes back.
    ASSERT_EQ(WaveInStop(Device), wrNoError);
    Card->AdvanceMilliseconds(1000);
    EXPECT_TRUE(CaptureEvents.Taken().empty());

    ASSERT_EQ(WaveInStart(Device), wrNoError);
    AddAll(Device, {&Third});
    Card->AdvanceMilliseconds(250);
    EXPECT_EQ(CaptureEvents.DoneHeaders(), (std::vector<TWaveHdr*>{&Second.Header, &Third.Header}));
    EXPECT_EQ(Second.Bytes(), Counter(960, 2000));
    EXPECT_EQ(Third.Bytes(), Counter(2960, 2000));
    EXPECT_EQ(WaveInClose(Device), wrNoError);
}

TEST_F(VirtualCardTest, LoopbackCaptureRecordsWhatThePlaybackDevicePlayed)
{
    HWaveOut Speaker = OpenPlayback(0);
    HWaveIn Loopback = OpenCapture(1);
    OwnedBuffer Recorded1(2000), Recorded2(2000);
    AddAll(Loopback, {&Recorded1, &Recorded2});
    ASSERT_EQ(WaveInStart(Loopback), wrNoError);
    OwnedBuffer Played1(2000), Played2(2000);
    Played1.Fill(Pattern(2000, 1));
    Played2.Fill(Pattern(2000, 99));
    WriteAll(Speaker, {&Played1, &Played2});

    Card->AdvanceMilliseconds(250);
    EXPECT_EQ(PlaybackEvents.DoneHeaders(),
              (std::vector<TWaveHdr*>{&Played1.Header, &Played2.Header}));
    EXPECT_EQ(CaptureEvents.DoneHeaders(),
              (std::vector<TWaveHdr*>{&Recorded1.Header, &Recorded2.Header}));
    EXPECT_EQ(Recorded1.Bytes(), Pattern(2000, 1));
    EXPECT_EQ(Recorded2.Bytes(), Pattern(2000, 99));

    EXPECT_EQ(WaveInReset(Loopback), wrNoError);
    EXPECT_EQ(WaveInClose(Loopback), wrNoError);
    EXPECT_EQ(WaveOutClose(Speaker), wrNoError);
}

} // namespace keb::test
