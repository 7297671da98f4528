// Devices on a card that refuses 8000 Hz: the layer runs the card at its own
// rate and converts, and the components see 8000 Hz. Pitch, level and length
// are measured on the audio that arrives; the real-time case runs under
// ThreadSanitizer with the card's clock and both conversion threads.
#include "ToneAnalysis.h"
#include "WaveTestSupport.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>

namespace keb::test
{

namespace
{

constexpr auto Limit = std::chrono::seconds(30);
constexpr std::size_t BufferFrames = 1000;    // 125 ms at 8000 Hz
constexpr std::size_t LatencyFrames = 40 * 8; // the converter's 30 ms, with room

// Selects a card for one test and returns to the environment's afterwards.
struct SelectedCard
{
    explicit SelectedCard(std::shared_ptr<VirtualSoundCard> Chosen) : Card(std::move(Chosen))
    {
        UseVirtualSoundCard(Card);
    }
    ~SelectedCard() { UseVirtualSoundCard(nullptr); }
    std::shared_ptr<VirtualSoundCard> Card;
};

std::vector<std::unique_ptr<OwnedBuffer>> MakeBuffers(std::size_t Count, std::size_t Bytes)
{
    std::vector<std::unique_ptr<OwnedBuffer>> Buffers;
    for (std::size_t Index = 0; Index < Count; ++Index)
    {
        Buffers.push_back(std::make_unique<OwnedBuffer>(Bytes));
    }
    return Buffers;
}

// The bytes of the returned capture buffers, in the order they came back.
std::vector<std::uint8_t> Recorded(Recorder& Events)
{
    std::vector<std::uint8_t> Bytes;
    for (const TWaveHdr* Header : Events.DoneHeaders())
    {
        Bytes.insert(Bytes.end(), Header->lpData, Header->lpData + Header->dwBytesRecorded);
    }
    return Bytes;
}

// Opens capture device 0 in Format, queues Buffers and starts; null on failure.
HWaveIn StartCapture(const TWaveFormatEx& Format, Recorder& Events,
                     const std::vector<std::unique_ptr<OwnedBuffer>>& Buffers)
{
    HWaveIn Device = nullptr;
    EXPECT_EQ(WaveInOpen(&Device, 0, &Format, Recorder::OnCapture, &Events), wrNoError);
    for (const auto& Buffer : Buffers)
    {
        EXPECT_EQ(WaveInPrepareHeader(Device, &Buffer->Header), wrNoError);
        EXPECT_EQ(WaveInAddBuffer(Device, &Buffer->Header), wrNoError);
    }
    EXPECT_EQ(WaveInStart(Device), wrNoError);
    return Device;
}

// A stepped card's only capture device, which takes only CardRate and
// CardChannels (0: any) and records Source.
struct OneFormatCard
{
    std::uint32_t CardRate;
    std::uint16_t CardChannels;
};

// Records one second from the card at 8000 Hz mono in Bits bits. The card
// moves 5 ms per step; after each 125 ms the test waits for the converted
// buffers, so the conversion thread never falls behind by more than that.
std::vector<std::uint8_t> RecordOneSecond(OneFormatCard Kind, std::unique_ptr<VirtualSource> Source,
                                          std::uint16_t Bits)
{
    SelectedCard Selected(VirtualSoundCard::Create(VirtualClock::Stepped));
    Selected.Card->AddCaptureDevice("One format", std::move(Source));
    Selected.Card->Capture(0).AcceptOnlyRate(Kind.CardRate);
    Selected.Card->Capture(0).AcceptOnlyChannels(Kind.CardChannels);
    const TWaveFormatEx Format = PcmFormat(8000, 1, Bits);
    Recorder Events;
    const auto Buffers = MakeBuffers(10, BufferFrames * Format.nBlockAlign);
    const HWaveIn Device = StartCapture(Format, Events, Buffers);
    if (Device == nullptr)
    {
        return {};
    }
    for (std::size_t Step = 1; Step <= 8; ++Step)
    {
        for (int Tick = 0; Tick < 25; ++Tick)
        {
            Selected.Card->AdvanceMilliseconds(5);
        }
        // Less than one buffer of latency: all but the last buffer are full.
        EXPECT_TRUE(Events.WaitForDone(Step - 1, Limit)) << "after " << Step * 125 << " ms";
    }
    EXPECT_EQ(WaveInStop(Device), wrNoError);
    EXPECT_EQ(WaveInReset(Device), wrNoError);
    EXPECT_EQ(WaveInClose(Device), wrNoError);
    return Recorded(Events);
}

// Half of full scale, no noise.
std::unique_ptr<VirtualSource> Tone(double Frequency)
{
    return MakeToneSource(Frequency, 0.5, 0);
}

struct CardCase
{
    std::uint32_t CardRate;
    std::uint16_t Bits;
};

void PrintTo(const CardCase& Case, std::ostream* Out)
{
    *Out << Case.CardRate << " Hz card, " << Case.Bits << "-bit device";
}

class ConvertedCaptureTest : public ::testing::TestWithParam<CardCase>
{
};

} // namespace

TEST(RateConversionTest, QueryAndCapabilitiesAnswerAsForAnEightKilohertzCard)
{
    SelectedCard Selected(VirtualSoundCard::Create(VirtualClock::Stepped));
    auto& Card = *Selected.Card;
    Card.AddCaptureDevice("48 kHz only", MakeSilenceSource());
    Card.Capture(0).AcceptOnlyRate(48000);
    // Neither 48000 nor 44100: found only because the default rate comes first.
    Card.AddCaptureDevice("32 kHz only", MakeSilenceSource());
    Card.Capture(1).AcceptOnlyRate(32000);
    Card.AddPlaybackDevice("44.1 kHz only", MakeNullSink());
    Card.Playback(0).AcceptOnlyRate(44100);
    Card.AddPlaybackDevice("48 kHz stereo only", MakeNullSink());
    Card.Playback(1).AcceptOnlyRate(48000);
    Card.Playback(1).AcceptOnlyChannels(2);

    const TWaveFormatEx Mono16 = PcmFormat(8000, 1, 16);
    const TWaveFormatEx Mono8 = PcmFormat(8000, 1, 8);
    EXPECT_EQ(Card.QueryFormat(WaveDirection::Capture, 0, Mono16), wrBadFormat);
    EXPECT_EQ(WaveInQueryFormat(0, &Mono16), wrNoError);
    EXPECT_EQ(WaveInQueryFormat(0, &Mono8), wrNoError);
    EXPECT_EQ(WaveInQueryFormat(1, &Mono16), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(0, &Mono16), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(1, &Mono16), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(1, &Mono8), wrNoError);

    TWaveFormatEx Broken = Mono16;
    Broken.nAvgBytesPerSec = 1;
    EXPECT_EQ(WaveInQueryFormat(0, &Broken), wrBadFormat);

    TWaveCaps Native{};
    ASSERT_EQ(Card.GetCaps(WaveDirection::Capture, 0, Native), wrNoError);
    EXPECT_EQ(Native.dwFormats, 0xF00u);
    TWaveCaps Caps{};
    ASSERT_EQ(WaveInGetDevCaps(0, &Caps), wrNoError);
    EXPECT_EQ(Caps.dwFormats, 0xFFFu);
    EXPECT_TRUE(Caps.dwFormats & WaveFormat1M16);
    ASSERT_EQ(Card.GetCaps(WaveDirection::Playback, 1, Native), wrNoError);
    EXPECT_EQ(Native.dwFormats, unsigned{WaveFormat4S08 | WaveFormat4S16});
    ASSERT_EQ(WaveOutGetDevCaps(1, &Caps), wrNoError);
    EXPECT_EQ(Caps.dwFormats, 0xFFFu);
}

TEST_P(ConvertedCaptureTest, ToneKeepsItsPitchLevelAndLength)
{
    const auto [CardRate, Bits] = GetParam();
    const TWaveFormatEx Format = PcmFormat(8000, 1, Bits);
    const auto Samples = ChannelOf(RecordOneSecond({CardRate, 0}, Tone(1000), Bits), Format);

    // One second in, one second out but for the converter's latency.
    EXPECT_LE(Samples.size(), 8000u);
    EXPECT_GE(Samples.size(), 8000u - LatencyFrames);
    const auto Settled = Slice(Samples, LatencyFrames, Samples.size());
    EXPECT_NEAR(ToneFrequency(Settled, 8000), 1000, 1);
    EXPECT_NEAR(Rms(Settled), 0.5 / std::sqrt(2.0), 0.01);
}

INSTANTIATE_TEST_SUITE_P(CardRates, ConvertedCaptureTest,
                         ::testing::Values(CardCase{48000, 16}, CardCase{44100, 16},
                                           CardCase{48000, 8}));

TEST(RateConversionTest, ToneAboveTheDeviceBandDoesNotFoldIntoIt)
{
    const auto Samples =
        ChannelOf(RecordOneSecond({48000, 0}, Tone(10000), 16), PcmFormat(8000, 1, 16));
    ASSERT_GE(Samples.size(), 8000u - LatencyFrames);
    // A 10 kHz tone would fold to 2 kHz without the converter's low-pass.
    EXPECT_LT(Rms(Samples), 0.005);
}

TEST(RateConversionTest, MonoDeviceOnAStereoOnlyCardRecordsTheLeftChannel)
{
    // Left 1000 Hz, right 3000 Hz.
    auto Source = MakeGeneratorSource(
        [Frame = std::make_shared<std::size_t>(0)](std::uint8_t* Data, std::size_t Bytes,
                                                   const TWaveFormatEx& Format)
        {
            for (std::size_t Index = 0; Index < Bytes / 4; ++Index, ++*Frame)
            {
                for (const std::size_t Channel : {0u, 1u})
                {
                    const double Frequency = Channel == 0 ? 1000 : 3000;
                    const auto Sample = static_cast<std::uint16_t>(
                        std::lround(0.5 * 32767 *
                                    std::sin(2 * std::numbers::pi * Frequency * *Frame /
                                             Format.nSamplesPerSec)));
                    Data[4 * Index + 2 * Channel] = static_cast<std::uint8_t>(Sample & 0xFF);
                    Data[4 * Index + 2 * Channel + 1] = static_cast<std::uint8_t>(Sample >> 8);
                }
            }
        });
    const auto Samples =
        ChannelOf(RecordOneSecond({48000, 2}, std::move(Source), 16), PcmFormat(8000, 1, 16));
    ASSERT_GE(Samples.size(), 8000u - LatencyFrames);
    const auto Settled = Slice(Samples, LatencyFrames, Samples.size());
    EXPECT_NEAR(ToneFrequency(Settled, 8000), 1000, 1);
    EXPECT_NEAR(Rms(Settled), 0.5 / std::sqrt(2.0), 0.01);
}

TEST(RateConversionTest, VanishingCardFailsTheConvertedDevice)
{
    SelectedCard Selected(VirtualSoundCard::Create(VirtualClock::Stepped));
    Selected.Card->AddCaptureDevice("48 kHz only", MakeToneSource(1000, 0.5, 0));
    Selected.Card->Capture(0).AcceptOnlyRate(48000);
    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    Recorder Events;
    const auto Buffers = MakeBuffers(3, BufferFrames * 2);
    const HWaveIn Device = StartCapture(Format, Events, Buffers);
    ASSERT_NE(Device, nullptr);
    Selected.Card->AdvanceMilliseconds(50);

    Selected.Card->Capture(0).Vanish();
    EXPECT_EQ(Events.FailedCount(), 1u);
    EXPECT_TRUE(Events.WaitForDone(3, Limit));
    EXPECT_EQ(WaveInStart(Device), wrDeviceRemoved);
    EXPECT_EQ(WaveInReset(Device), wrNoError);
    EXPECT_EQ(WaveInClose(Device), wrNoError);
}

// Playback at 8000 Hz mono through a 48000 Hz stereo-only speaker, recorded
// again at 8000 Hz mono through a loopback of the same kind, all on the
// card's real-time clock.
TEST(RateConversionTest, PlaybackReachesTheCardAtItsRateWithPitchAndLength)
{
    SelectedCard Selected(VirtualSoundCard::Create(VirtualClock::RealTime));
    auto Speaker = std::make_shared<MemorySink>();
    Selected.Card->AddPlaybackDevice("48 kHz speaker", Speaker);
    Selected.Card->Playback(0).AcceptOnlyRate(48000);
    Selected.Card->Playback(0).AcceptOnlyChannels(2);
    Selected.Card->AddLoopbackCaptureDevice("48 kHz loopback", 0);
    Selected.Card->Capture(0).AcceptOnlyRate(48000);
    Selected.Card->Capture(0).AcceptOnlyChannels(2);
    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);

    Recorder CaptureEvents;
    const auto CaptureBuffers = MakeBuffers(12, BufferFrames * 2);
    const HWaveIn Capture = StartCapture(Format, CaptureEvents, CaptureBuffers);
    ASSERT_NE(Capture, nullptr);

    Recorder PlaybackEvents;
    HWaveOut Playback = nullptr;
    ASSERT_EQ(WaveOutOpen(&Playback, 0, &Format, Recorder::OnPlayback, &PlaybackEvents), wrNoError);
    const auto Tone = SineBytes(1000, 0.5, 8 * BufferFrames, Format);
    const auto PlaybackBuffers = MakeBuffers(8, BufferFrames * 2);
    for (std::size_t Index = 0; Index < PlaybackBuffers.size(); ++Index)
    {
        auto& Header = PlaybackBuffers[Index]->Header;
        std::copy_n(Tone.begin() + static_cast<std::ptrdiff_t>(Index * BufferFrames * 2),
                    BufferFrames * 2, Header.lpData);
        ASSERT_EQ(WaveOutPrepareHeader(Playback, &Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(Playback, &Header), wrNoError);
    }
    EXPECT_TRUE(PlaybackEvents.WaitForDone(8, Limit));
    // 1.5 s of capture: the tone has long reached the speaker and come back.
    EXPECT_TRUE(CaptureEvents.WaitForDone(12, Limit));
    EXPECT_EQ(WaveOutReset(Playback), wrNoError);
    EXPECT_EQ(WaveOutClose(Playback), wrNoError);
    EXPECT_EQ(WaveInReset(Capture), wrNoError);
    EXPECT_EQ(WaveInClose(Capture), wrNoError);

    const TWaveFormatEx CardFormat = PcmFormat(48000, 2, 16);
    const auto Played = ChannelOf(Speaker->Bytes(), CardFormat, 0);
    EXPECT_EQ(ChannelOf(Speaker->Bytes(), CardFormat, 1), Played);
    const Span Loud = LoudSpan(Played, 0.25);
    EXPECT_NEAR(static_cast<double>(Loud.End - Loud.Begin), 48000, 480);
    EXPECT_NEAR(ToneFrequency(Slice(Played, Loud.Begin + 480, Loud.End - 480), 48000), 1000, 1);
    // Silence before the tone stays digital silence (no dither, no noise).
    const auto Before = Slice(Played, 0, Loud.Begin - std::min<std::size_t>(Loud.Begin, 48 * 40));
    EXPECT_EQ(Rms(Before), 0);

    const auto Back = ChannelOf(Recorded(CaptureEvents), Format);
    const Span Heard = LoudSpan(Back, 0.25);
    EXPECT_NEAR(static_cast<double>(Heard.End - Heard.Begin), 8000, 80);
    EXPECT_NEAR(ToneFrequency(Slice(Back, Heard.Begin + 80, Heard.End - 80), 8000), 1000, 1);
}

} // namespace keb::test
