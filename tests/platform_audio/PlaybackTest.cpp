#include "VirtualCardFixture.h"

namespace keb::test
{

namespace
{

std::vector<std::uint8_t> Joined(std::initializer_list<std::vector<std::uint8_t>> Parts)
{
    std::vector<std::uint8_t> All;
    for (const auto& Part : Parts)
    {
        All.insert(All.end(), Part.begin(), Part.end());
    }
    return All;
}

} // namespace

TEST_F(VirtualCardTest, PlaybackPlaysBuffersBackToBackAndPausesAndRestarts)
{
    HWaveOut Device = OpenPlayback();
    OwnedBuffer First(2000), Second(2000);
    First.Fill(Pattern(2000, 3));
    Second.Fill(Pattern(2000, 77));
    WriteAll(Device, {&First, &Second});

    Card->AdvanceMilliseconds(125);
    EXPECT_EQ(PlaybackEvents.DoneHeaders(), std::vector<TWaveHdr*>{&First.Header});
    EXPECT_EQ(LoadWaveHdrFlags(First.Header), WaveHdrDone | WaveHdrPrepared);

    ASSERT_EQ(WaveOutPause(Device), wrNoError);
    Card->AdvanceMilliseconds(500);
    EXPECT_TRUE(PlaybackEvents.Taken().empty());
    EXPECT_EQ(Speaker->Bytes().size(), 2000u);
    TWavePosition Position{};
    ASSERT_EQ(WaveOutGetPosition(Device, &Position), wrNoError);
    EXPECT_EQ(Position.Bytes, 2000u);

    ASSERT_EQ(WaveOutRestart(Device), wrNoError);
    Card->AdvanceMilliseconds(125);
    EXPECT_EQ(PlaybackEvents.DoneHeaders(), std::vector<TWaveHdr*>{&Second.Header});
    EXPECT_EQ(Speaker->Bytes(), Joined({Pattern(2000, 3), Pattern(2000, 77)}));

    // Run dry: the card plays silence, the position stands at what was played.
    Card->AdvanceMilliseconds(125);
    EXPECT_EQ(Speaker->Bytes(),
              Joined({Pattern(2000, 3), Pattern(2000, 77), std::vector<std::uint8_t>(2000, 0)}));
    ASSERT_EQ(WaveOutGetPosition(Device, &Position), wrNoError);
    EXPECT_EQ(Position.Bytes, 4000u);
    EXPECT_EQ(Position.Samples, 2000u);
    EXPECT_EQ(Position.Milliseconds, 250u);
    EXPECT_EQ(WaveOutClose(Device), wrNoError);
}

TEST_F(VirtualCardTest, PlaybackResetReturnsEveryBufferAndKeepsAPausedDevicePaused)
{
    HWaveOut Device = OpenPlayback();
    OwnedBuffer First(2000), Second(2000), Third(2000);
    WriteAll(Device, {&First, &Second, &Third});
    Card->AdvanceMilliseconds(50);

    EXPECT_EQ(WaveOutClose(Device), wrStillPlaying);
    ASSERT_EQ(WaveOutReset(Device), wrNoError);
    EXPECT_EQ(PlaybackEvents.DoneHeaders(),
              (std::vector<TWaveHdr*>{&First.Header, &Second.Header, &Third.Header}));
    TWavePosition Position{};
    ASSERT_EQ(WaveOutGetPosition(Device, &Position), wrNoError);
    EXPECT_EQ(Position.Bytes, 0u);

    // After a reset of a playing device the next write plays at once.
    First.Fill(Pattern(2000, 5));
    Speaker->Clear();
    ASSERT_EQ(WaveOutWrite(Device, &First.Header), wrNoError);
    Card->AdvanceMilliseconds(125);
    EXPECT_EQ(PlaybackEvents.DoneHeaders(), std::vector<TWaveHdr*>{&First.Header});
    EXPECT_EQ(Speaker->Bytes(), Pattern(2000, 5));

    // A paused device stays paused through a reset.
    ASSERT_EQ(WaveOutPause(Device), wrNoError);
    ASSERT_EQ(WaveOutWrite(Device, &Second.Header), wrNoError);
    ASSERT_EQ(WaveOutReset(Device), wrNoError);
    EXPECT_EQ(PlaybackEvents.DoneHeaders(), std::vector<TWaveHdr*>{&Second.Header});
    ASSERT_EQ(WaveOutWrite(Device, &Third.Header), wrNoError);
    Card->AdvanceMilliseconds(500);
    EXPECT_TRUE(PlaybackEvents.Taken().empty());
    ASSERT_EQ(WaveOutRestart(Device), wrNoError);
    Card->AdvanceMilliseconds(125);
    EXPECT_EQ(PlaybackEvents.DoneHeaders(), std::vector<TWaveHdr*>{&Third.Header});
    EXPECT_EQ(WaveOutClose(Device), wrNoError);
}

TEST_F(VirtualCardTest, EightBitPlaybackRunsDryIntoUnsignedSilence)
{
    const TWaveFormatEx EightBit = PcmFormat(11025, 2, 8);
    HWaveOut Device = nullptr;
    ASSERT_EQ(WaveOutOpen(&Device, 0, &EightBit, nullptr, nullptr), wrNoError);
    Card->AdvanceFrames(10);
    EXPECT_EQ(Speaker->Bytes(), std::vector<std::uint8_t>(20, 0x80));
    EXPECT_EQ(WaveOutClose(Device), wrNoError);
}

} // namespace keb::test
