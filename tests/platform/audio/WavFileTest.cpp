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
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("keb-wavfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    return folder;
}

// Records Frames frames from capture device DeviceId of Card into Buffer.
void Record(TVirtualSoundCard& card, int deviceId, const TWaveFormatEx& format, OwnedBuffer& buffer,
            std::uint64_t frames)
{
    Recorder events;
    HWaveIn device = nullptr;
    ASSERT_EQ(WaveInOpen(&device, deviceId, &format, Recorder::OnCapture, &events), wrNoError);
    ASSERT_EQ(WaveInPrepareHeader(device, &buffer.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(device, &buffer.Header), wrNoError);
    ASSERT_EQ(WaveInStart(device), wrNoError);
    card.AdvanceFrames(frames);
    EXPECT_EQ(events.DoneCount(), 1u);
    ASSERT_EQ(WaveInReset(device), wrNoError);
    ASSERT_EQ(WaveInClose(device), wrNoError);
}

} // namespace

// Plays into a WAV file sink, then records that file through a WAV file source.
TEST(VirtualWavFileTest, WhatIsPlayedIntoAFileIsRecordedFromIt)
{
    const auto folder = TestFolder();
    const std::string path = (folder / "played.wav").string();
    const TWaveFormatEx format = PcmFormat(8000, 2, 16);
    const auto played = Pattern(4000, 21);
    {
        auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
        card->AddPlaybackDevice("File", MakeWavFileSink(path));
        UseVirtualSoundCard(card);
        HWaveOut device = nullptr;
        ASSERT_EQ(WaveOutOpen(&device, 0, &format, nullptr, nullptr), wrNoError);
        OwnedBuffer buffer(played.size());
        buffer.Fill(played);
        ASSERT_EQ(WaveOutPrepareHeader(device, &buffer.Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(device, &buffer.Header), wrNoError);
        card->AdvanceFrames(1000); // exactly the buffer: 1000 stereo frames
        ASSERT_EQ(WaveOutClose(device), wrNoError);
    }

    auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    card->AddCaptureDevice("File", MakeWavFileSource(path, false));
    card->AddCaptureDevice("Looped", MakeWavFileSource(path, true));
    UseVirtualSoundCard(card);
    OwnedBuffer recorded(6000);
    Record(*card, 0, format, recorded, 1500);
    auto expected = played;
    expected.resize(6000, 0); // silence after the end
    EXPECT_EQ(recorded.Bytes(), expected);

    // Looped, 8-bit: the file again after its end, each sample's high byte made unsigned.
    const TWaveFormatEx eightBit = PcmFormat(8000, 2, 8);
    OwnedBuffer looped(4000);
    Record(*card, 1, eightBit, looped, 2000);
    const auto bytes = looped.Bytes();
    for (std::size_t sample = 0; sample < 2000; ++sample)
    {
        const std::uint8_t high = played[(2 * sample + 1) % played.size()];
        ASSERT_EQ(bytes[sample], static_cast<std::uint8_t>(high ^ 0x80)) << "sample " << sample;
    }

    // A file of another rate cannot be recorded at 11025 Hz; a missing file not at all.
    const TWaveFormatEx otherRate = PcmFormat(11025, 2, 16);
    HWaveIn device = nullptr;
    EXPECT_EQ(WaveInOpen(&device, 0, &otherRate, nullptr, nullptr), wrBadFormat);
    UseVirtualSoundCard(nullptr);
    auto missing = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    missing->AddCaptureDevice("Missing", MakeWavFileSource((folder / "none.wav").string(), false));
    UseVirtualSoundCard(missing);
    EXPECT_EQ(WaveInOpen(&device, 0, &format, nullptr, nullptr), wrInvalidParameter);
    UseVirtualSoundCard(nullptr);
    std::filesystem::remove_all(folder);
}

} // namespace keb::test
