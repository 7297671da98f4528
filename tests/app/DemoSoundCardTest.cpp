// The demo receiver's samples and the demo backend's choice of devices.
#include "app/DemoSoundCard.h"

#include "demo/DemoSignal.h"
#include "stream/MMWaveFormat.h"

#include <gtest/gtest.h>
#include <vector>

namespace keb::test
{
namespace
{

std::vector<std::int16_t> Reference(std::size_t Frames)
{
    TDemoSignal signal(8000);
    std::vector<std::int16_t> samples(Frames);
    signal.Fill(samples.data(), Frames);
    return samples;
}

std::vector<std::uint8_t> Record(int Bits, int Channels, std::size_t Frames)
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, Bits, Channels, 8000);
    auto source = MakeDemoSignalSource();
    EXPECT_EQ(source->Open(format), wrNoError);
    std::vector<std::uint8_t> bytes(Frames * format.nBlockAlign);
    // Two reads: the signal goes on where the first read ended.
    source->Read(bytes.data(), bytes.size() / 2);
    source->Read(bytes.data() + bytes.size() / 2, bytes.size() / 2);
    return bytes;
}

TEST(DemoSoundCardTest, ReceiverPlaysTheDemoSignalInEveryFormat)
{
    constexpr std::size_t Frames = 1000; // more than one block of the writer
    const std::vector<std::int16_t> expected = Reference(Frames);

    const std::vector<std::uint8_t> mono = Record(16, 1, Frames);
    const std::vector<std::uint8_t> stereo = Record(16, 2, Frames);
    const std::vector<std::uint8_t> narrow = Record(8, 1, Frames);
    for (std::size_t frame = 0; frame < Frames; ++frame)
    {
        const auto sample = static_cast<std::uint16_t>(expected[frame]);
        ASSERT_EQ(mono[2 * frame], sample & 0xFF) << frame;
        ASSERT_EQ(mono[2 * frame + 1], sample >> 8) << frame;
        ASSERT_EQ(stereo[4 * frame], mono[2 * frame]) << frame;
        ASSERT_EQ(stereo[4 * frame + 3], mono[2 * frame + 1]) << frame;
        ASSERT_EQ(narrow[frame], static_cast<std::uint8_t>((expected[frame] >> 8) + 128)) << frame;
    }
}

TEST(DemoSoundCardTest, PlaysOnTheRealOutputsWhenThereAreAny)
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    card->AddCaptureDevice("Receiver", MakeDemoSignalSource());
    card->AddPlaybackDevice("Fallback", MakeNullSink());
    auto speakers = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    speakers->AddPlaybackDevice("Left desk", MakeNullSink());
    speakers->AddPlaybackDevice("Right desk", MakeNullSink());
    auto silent = TVirtualSoundCard::Create(TVirtualClock::Stepped);

    TWaveCaps caps{};
    auto withSpeakers = MakeDemoBackend(card, speakers);
    EXPECT_EQ(withSpeakers->DeviceCount(TWaveDirection::Capture), 1);
    EXPECT_EQ(withSpeakers->DeviceCount(TWaveDirection::Playback), 2);
    ASSERT_EQ(withSpeakers->GetCaps(TWaveDirection::Playback, 1, caps), wrNoError);
    EXPECT_STREQ(caps.szPname, "Right desk");
    ASSERT_EQ(withSpeakers->GetCaps(TWaveDirection::Capture, 0, caps), wrNoError);
    EXPECT_STREQ(caps.szPname, "Receiver");
    // A speaker that takes only its own rate is opened at that rate.
    speakers->Playback(1).AcceptOnlyRate(48000);
    EXPECT_EQ(withSpeakers->DefaultRate(TWaveDirection::Playback, 1), 48000u);
    EXPECT_EQ(withSpeakers->DefaultRate(TWaveDirection::Playback, 0), 0u);

    for (auto& nowhere : {MakeDemoBackend(card, silent), MakeDemoBackend(card, nullptr)})
    {
        EXPECT_EQ(nowhere->DeviceCount(TWaveDirection::Playback), 1);
        ASSERT_EQ(nowhere->GetCaps(TWaveDirection::Playback, 0, caps), wrNoError);
        EXPECT_STREQ(caps.szPname, "Fallback");
    }
}

} // namespace
} // namespace keb::test
