#include "VirtualCardFixture.h"

namespace keb::test
{

namespace
{

std::vector<std::uint8_t> Joined(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> all;
    for (const auto& part : parts)
    {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

} // namespace

TEST_F(VirtualCardTest, PlaybackPlaysBuffersBackToBackAndPausesAndRestarts)
{
    HWaveOut device = OpenPlayback();
    OwnedBuffer first(2000), second(2000);
    first.Fill(Pattern(2000, 3));
    second.Fill(Pattern(2000, 77));
    WriteAll(device, {&first, &second});

    card_->AdvanceMilliseconds(125);
    EXPECT_EQ(playbackEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&first.Header});
    EXPECT_EQ(LoadWaveHdrFlags(first.Header), WaveHdrDone | WaveHdrPrepared);

    ASSERT_EQ(WaveOutPause(device), wrNoError);
    card_->AdvanceMilliseconds(500);
    EXPECT_TRUE(playbackEvents_.Taken().empty());
    EXPECT_EQ(speaker_->Bytes().size(), 2000u);
    TWavePosition position{};
    ASSERT_EQ(WaveOutGetPosition(device, &position), wrNoError);
    EXPECT_EQ(position.Bytes, 2000u);

    ASSERT_EQ(WaveOutRestart(device), wrNoError);
    card_->AdvanceMilliseconds(125);
    EXPECT_EQ(playbackEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&second.Header});
    EXPECT_EQ(speaker_->Bytes(), Joined({Pattern(2000, 3), Pattern(2000, 77)}));

    // Run dry: the card plays silence, the position stands at what was played.
    card_->AdvanceMilliseconds(125);
    EXPECT_EQ(speaker_->Bytes(),
              Joined({Pattern(2000, 3), Pattern(2000, 77), std::vector<std::uint8_t>(2000, 0)}));
    ASSERT_EQ(WaveOutGetPosition(device, &position), wrNoError);
    EXPECT_EQ(position.Bytes, 4000u);
    EXPECT_EQ(position.Samples, 2000u);
    EXPECT_EQ(position.Milliseconds, 250u);
    EXPECT_EQ(WaveOutClose(device), wrNoError);
}

TEST_F(VirtualCardTest, PlaybackResetReturnsEveryBufferAndKeepsAPausedDevicePaused)
{
    HWaveOut device = OpenPlayback();
    OwnedBuffer first(2000), second(2000), third(2000);
    WriteAll(device, {&first, &second, &third});
    card_->AdvanceMilliseconds(50);

    EXPECT_EQ(WaveOutClose(device), wrStillPlaying);
    ASSERT_EQ(WaveOutReset(device), wrNoError);
    EXPECT_EQ(playbackEvents_.DoneHeaders(),
              (std::vector<TWaveHdr*>{&first.Header, &second.Header, &third.Header}));
    TWavePosition position{};
    ASSERT_EQ(WaveOutGetPosition(device, &position), wrNoError);
    EXPECT_EQ(position.Bytes, 0u);

    // After a reset of a playing device the next write plays at once.
    first.Fill(Pattern(2000, 5));
    speaker_->Clear();
    ASSERT_EQ(WaveOutWrite(device, &first.Header), wrNoError);
    card_->AdvanceMilliseconds(125);
    EXPECT_EQ(playbackEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&first.Header});
    EXPECT_EQ(speaker_->Bytes(), Pattern(2000, 5));

    // A paused device stays paused through a reset.
    ASSERT_EQ(WaveOutPause(device), wrNoError);
    ASSERT_EQ(WaveOutWrite(device, &second.Header), wrNoError);
    ASSERT_EQ(WaveOutReset(device), wrNoError);
    EXPECT_EQ(playbackEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&second.Header});
    ASSERT_EQ(WaveOutWrite(device, &third.Header), wrNoError);
    card_->AdvanceMilliseconds(500);
    EXPECT_TRUE(playbackEvents_.Taken().empty());
    ASSERT_EQ(WaveOutRestart(device), wrNoError);
    card_->AdvanceMilliseconds(125);
    EXPECT_EQ(playbackEvents_.DoneHeaders(), std::vector<TWaveHdr*>{&third.Header});
    EXPECT_EQ(WaveOutClose(device), wrNoError);
}

TEST_F(VirtualCardTest, EightBitPlaybackRunsDryIntoUnsignedSilence)
{
    const TWaveFormatEx eightBit = PcmFormat(11025, 2, 8);
    HWaveOut device = nullptr;
    ASSERT_EQ(WaveOutOpen(&device, 0, &eightBit, nullptr, nullptr), wrNoError);
    card_->AdvanceFrames(10);
    EXPECT_EQ(speaker_->Bytes(), std::vector<std::uint8_t>(20, 0x80));
    EXPECT_EQ(WaveOutClose(device), wrNoError);
}

} // namespace keb::test
