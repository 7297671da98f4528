#include "WaveTestSupport.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace keb::test
{

namespace
{

std::filesystem::path TestFolder()
{
    const auto Folder =
        std::filesystem::temp_directory_path() /
        ("keb-wavfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(Folder);
    return Folder;
}

} // namespace

// Plays into a WAV file sink, then records that file through a WAV file source.
TEST(VirtualWavFileTest, WhatIsPlayedIntoAFileIsRecordedFromIt)
{
    const auto Folder = TestFolder();
    const std::string Path = (Folder / "played.wav").string();
    const TWaveFormatEx Format = PcmFormat(8000, 2, 16);
    const auto Played = Pattern(4000, 21);
    {
        auto Card = VirtualSoundCard::Create(VirtualClock::Stepped);
        Card->AddPlaybackDevice("File", MakeWavFileSink(Path));
        UseVirtualSoundCard(Card);
        HWaveOut Device = nullptr;
        ASSERT_EQ(WaveOutOpen(&Device, 0, &Format, nullptr, nullptr), wrNoError);
        OwnedBuffer Buffer(Played.size());
        Buffer.Fill(Played);
        ASSERT_EQ(WaveOutPrepareHeader(Device, &Buffer.Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(Device, &Buffer.Header), wrNoError);
        Card->AdvanceFrames(1000); // exactly the buffer: 1000 stereo frames
        ASSERT_EQ(WaveOutClose(Device), wrNoError);
    }

    auto Card = VirtualSoundCard::Create(VirtualClock::Stepped);
    Card->AddCaptureDevice("File", MakeWavFileSource(Path, false));
    Card->AddCaptureDevice("Looped", MakeWavFileSource(Path, true));
    UseVirtualSoundCard(Card);
    Recorder Events;
    HWaveIn Device = nullptr;
    ASSERT_EQ(WaveInOpen(&Device, 0, &Format, Recorder::OnCapture, &Events), wrNoError);
    OwnedBuffer Recorded(6000);
    ASSERT_EQ(WaveInPrepareHeader(Device, &Recorded.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(Device, &Recorded.Header), wrNoError);
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card->AdvanceFrames(1500);
    ASSERT_EQ(Events.DoneCount(), 1u);
    auto Expected = Played;
    Expected.resize(6000, 0); // silence after the end
    EXPECT_EQ(Recorded.Bytes(), Expected);
    ASSERT_EQ(WaveInClose(Device), wrNoError);

    // Looped, 8-bit: the file again after its end, each sample's high byte made unsigned.
    const TWaveFormatEx EightBit = PcmFormat(8000, 2, 8);
    ASSERT_EQ(WaveInOpen(&Device, 1, &EightBit, Recorder::OnCapture, &Events), wrNoError);
    OwnedBuffer Looped(4000);
    ASSERT_EQ(WaveInPrepareHeader(Device, &Looped.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(Device, &Looped.Header), wrNoError);
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card->AdvanceFrames(2000);
    ASSERT_EQ(Events.DoneCount(), 2u);
    const auto Bytes = Looped.Bytes();
    for (std::size_t Sample = 0; Sample < 2000; ++Sample)
    {
        const std::uint8_t High = Played[(2 * Sample + 1) % Played.size()];
        ASSERT_EQ(Bytes[Sample], static_cast<std::uint8_t>(High ^ 0x80)) << "sample " << Sample;
    }
    ASSERT_EQ(WaveInClose(Device), wrNoError);

    // A file of another rate cannot be recorded at 11025 Hz; a missing file not at all.
    const TWaveFormatEx OtherRate = PcmFormat(11025, 2, 16);
    EXPECT_EQ(WaveInOpen(&Device, 0, &OtherRate, nullptr, nullptr), wrBadFormat);
    UseVirtualSoundCard(nullptr);
    auto Missing = VirtualSoundCard::Create(VirtualClock::Stepped);
    Missing->AddCaptureDevice("Missing", MakeWavFileSource((Folder / "none.wav").string(), false));
    UseVirtualSoundCard(Missing);
    EXPECT_EQ(WaveInOpen(&Device, 0, &Format, nullptr, nullptr), wrInvalidParameter);
    UseVirtualSoundCard(nullptr);
    std::filesystem::remove_all(Folder);
}

} // namespace keb::test
