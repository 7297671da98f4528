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

// Records Frames frames from capture device DeviceId of Card into Buffer.
void Record(VirtualSoundCard& Card, int DeviceId, const TWaveFormatEx& Format, OwnedBuffer& Buffer,
            std::uint64_t Frames)
{
    Recorder Events;
    HWaveIn Device = nullptr;
    ASSERT_EQ(WaveInOpen(&Device, DeviceId, &Format, Recorder::OnCapture, &Events), wrNoError);
    ASSERT_EQ(WaveInPrepareHeader(Device, &Buffer.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(Device, &Buffer.Header), wrNoError);
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    Card.AdvanceFrames(Frames);
    EXPECT_EQ(Events.DoneCount(), 1u);
    ASSERT_EQ(WaveInReset(Device), wrNoError);
    ASSERT_EQ(WaveInClose(Device), wrNoError);
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
    OwnedBuffer Recorded(6000);
    Record(*Card, 0, Format, Recorded, 1500);
    auto Expected = Played;
    Expected.resize(6000, 0); // silence after the end
    EXPECT_EQ(Recorded.Bytes(), Expected);

    // Looped, 8-bit: the file again after its end, each sample's high byte made unsigned.
    const TWaveFormatEx EightBit = PcmFormat(8000, 2, 8);
    OwnedBuffer Looped(4000);
    Record(*Card, 1, EightBit, Looped, 2000);
    const auto Bytes = Looped.Bytes();
    for (std::size_t Sample = 0; Sample < 2000; ++Sample)
    {
        const std::uint8_t High = Played[(2 * Sample + 1) % Played.size()];
        ASSERT_EQ(Bytes[Sample], static_cast<std::uint8_t>(High ^ 0x80)) << "sample " << Sample;
    }

    // A file of another rate cannot be recorded at 11025 Hz; a missing file not at all.
    const TWaveFormatEx OtherRate = PcmFormat(11025, 2, 16);
    HWaveIn Device = nullptr;
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
