// Devices on a card that refuses 8000 Hz: the layer runs the card at its own
// rate and converts, and the components see 8000 Hz. Pitch, level and length
// are measured on the audio that arrives; the real-time cases run under
// ThreadSanitizer with the card's clock and both conversion threads, or in
// Low the conversion in the card's callbacks.
#include "ToneAnalysis.h"
#include "WaveTestSupport.h"
#include "platform/audio/WaveLatency.h"
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
struct TSelectedCard
{
    explicit TSelectedCard(std::shared_ptr<TVirtualSoundCard> chosen) : Card(std::move(chosen))
    {
        UseVirtualSoundCard(Card);
    }
    ~TSelectedCard() { UseVirtualSoundCard(nullptr); }
    std::shared_ptr<TVirtualSoundCard> Card;
};

std::vector<std::unique_ptr<OwnedBuffer>> MakeBuffers(std::size_t count, std::size_t bytes)
{
    std::vector<std::unique_ptr<OwnedBuffer>> buffers;
    for (std::size_t index = 0; index < count; ++index)
    {
        buffers.push_back(std::make_unique<OwnedBuffer>(bytes));
    }
    return buffers;
}

// The bytes of the returned capture buffers, in the order they came back.
std::vector<std::uint8_t> Recorded(Recorder& events)
{
    std::vector<std::uint8_t> bytes;
    for (const TWaveHdr* header : events.DoneHeaders())
    {
        bytes.insert(bytes.end(), header->lpData, header->lpData + header->dwBytesRecorded);
    }
    return bytes;
}

// Opens capture device 0 in Format, queues Buffers and starts; null on failure.
HWaveIn StartCapture(const TWaveFormatEx& format, Recorder& events,
                     const std::vector<std::unique_ptr<OwnedBuffer>>& buffers)
{
    HWaveIn device = nullptr;
    EXPECT_EQ(WaveInOpen(&device, 0, &format, Recorder::OnCapture, &events), wrNoError);
    for (const auto& buffer : buffers)
    {
        EXPECT_EQ(WaveInPrepareHeader(device, &buffer->Header), wrNoError);
        EXPECT_EQ(WaveInAddBuffer(device, &buffer->Header), wrNoError);
    }
    EXPECT_EQ(WaveInStart(device), wrNoError);
    return device;
}

// A stepped card's only capture device, which takes only CardRate and
// CardChannels (0: any) and records Source.
struct TOneFormatCard
{
    std::uint32_t CardRate;
    std::uint16_t CardChannels;
};

// Records one second from the card at 8000 Hz mono in Bits bits. The card
// moves 5 ms per step; after each 125 ms the test waits for the converted
// buffers, so the conversion thread never falls behind by more than that.
std::vector<std::uint8_t>
RecordOneSecond(TOneFormatCard kind, std::unique_ptr<TVirtualSource> source, std::uint16_t bits)
{
    TSelectedCard selected(TVirtualSoundCard::Create(TVirtualClock::Stepped));
    selected.Card->AddCaptureDevice("One format", std::move(source));
    selected.Card->Capture(0).AcceptOnlyRate(kind.CardRate);
    selected.Card->Capture(0).AcceptOnlyChannels(kind.CardChannels);
    const TWaveFormatEx format = PcmFormat(8000, 1, bits);
    Recorder events;
    const auto buffers = MakeBuffers(10, BufferFrames * format.nBlockAlign);
    const HWaveIn device = StartCapture(format, events, buffers);
    if (device == nullptr)
    {
        return {};
    }
    for (std::size_t step = 1; step <= 8; ++step)
    {
        for (int tick = 0; tick < 25; ++tick)
        {
            selected.Card->AdvanceMilliseconds(5);
        }
        // Less than one buffer of latency: all but the last buffer are full.
        EXPECT_TRUE(events.WaitForDone(step - 1, Limit)) << "after " << step * 125 << " ms";
    }
    EXPECT_EQ(WaveInStop(device), wrNoError);
    EXPECT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(WaveInClose(device), wrNoError);
    return Recorded(events);
}

// Half of full scale, no noise.
std::unique_ptr<TVirtualSource> Tone(double frequency)
{
    return MakeToneSource(frequency, 0.5, 0);
}

struct TCardCase
{
    std::uint32_t CardRate;
    std::uint16_t Bits;
};

void PrintTo(const TCardCase& cardCase, std::ostream* out)
{
    *out << cardCase.CardRate << " Hz card, " << cardCase.Bits << "-bit device";
}

class ConvertedCaptureTest : public ::testing::TestWithParam<TCardCase>
{
};

} // namespace

TEST(RateConversionTest, QueryAndCapabilitiesAnswerAsForAnEightKilohertzCard)
{
    TSelectedCard selected(TVirtualSoundCard::Create(TVirtualClock::Stepped));
    auto& card = *selected.Card;
    card.AddCaptureDevice("48 kHz only", MakeSilenceSource());
    card.Capture(0).AcceptOnlyRate(48000);
    // Neither 48000 nor 44100: found only because the default rate comes first.
    card.AddCaptureDevice("32 kHz only", MakeSilenceSource());
    card.Capture(1).AcceptOnlyRate(32000);
    card.AddPlaybackDevice("44.1 kHz only", MakeNullSink());
    card.Playback(0).AcceptOnlyRate(44100);
    card.AddPlaybackDevice("48 kHz stereo only", MakeNullSink());
    card.Playback(1).AcceptOnlyRate(48000);
    card.Playback(1).AcceptOnlyChannels(2);

    const TWaveFormatEx mono16 = PcmFormat(8000, 1, 16);
    const TWaveFormatEx mono8 = PcmFormat(8000, 1, 8);
    EXPECT_EQ(card.QueryFormat(TWaveDirection::Capture, 0, mono16), wrBadFormat);
    EXPECT_EQ(WaveInQueryFormat(0, &mono16), wrNoError);
    EXPECT_EQ(WaveInQueryFormat(0, &mono8), wrNoError);
    EXPECT_EQ(WaveInQueryFormat(1, &mono16), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(0, &mono16), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(1, &mono16), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(1, &mono8), wrNoError);

    TWaveFormatEx broken = mono16;
    broken.nAvgBytesPerSec = 1;
    EXPECT_EQ(WaveInQueryFormat(0, &broken), wrBadFormat);

    TWaveCaps native{};
    ASSERT_EQ(card.GetCaps(TWaveDirection::Capture, 0, native), wrNoError);
    EXPECT_EQ(native.dwFormats, 0xF00u);
    TWaveCaps caps{};
    ASSERT_EQ(WaveInGetDevCaps(0, &caps), wrNoError);
    EXPECT_EQ(caps.dwFormats, 0xFFFu);
    EXPECT_TRUE(caps.dwFormats & WaveFormat1M16);
    ASSERT_EQ(card.GetCaps(TWaveDirection::Playback, 1, native), wrNoError);
    EXPECT_EQ(native.dwFormats, unsigned{WaveFormat4S08 | WaveFormat4S16});
    ASSERT_EQ(WaveOutGetDevCaps(1, &caps), wrNoError);
    EXPECT_EQ(caps.dwFormats, 0xFFFu);
}

TEST_P(ConvertedCaptureTest, ToneKeepsItsPitchLevelAndLength)
{
    const auto [CardRate, Bits] = GetParam();
    const TWaveFormatEx format = PcmFormat(8000, 1, Bits);
    const auto samples = ChannelOf(RecordOneSecond({CardRate, 0}, Tone(1000), Bits), format);

    // One second in, one second out but for the converter's latency.
    EXPECT_LE(samples.size(), 8000u);
    EXPECT_GE(samples.size(), 8000u - LatencyFrames);
    const auto settled = Slice(samples, LatencyFrames, samples.size());
    EXPECT_NEAR(ToneFrequency(settled, 8000), 1000, 1);
    EXPECT_NEAR(Rms(settled), 0.5 / std::sqrt(2.0), 0.01);
}

INSTANTIATE_TEST_SUITE_P(CardRates, ConvertedCaptureTest,
                         ::testing::Values(TCardCase{48000, 16}, TCardCase{44100, 16},
                                           TCardCase{48000, 8}));

TEST(RateConversionTest, ToneAboveTheDeviceBandDoesNotFoldIntoIt)
{
    const auto samples =
        ChannelOf(RecordOneSecond({48000, 0}, Tone(10000), 16), PcmFormat(8000, 1, 16));
    ASSERT_GE(samples.size(), 8000u - LatencyFrames);
    // A 10 kHz tone would fold to 2 kHz without the converter's low-pass.
    EXPECT_LT(Rms(samples), 0.005);
}

TEST(RateConversionTest, MonoDeviceOnAStereoOnlyCardRecordsTheLeftChannel)
{
    // Left 1000 Hz, right 3000 Hz.
    auto source = MakeGeneratorSource(
        [frame = std::make_shared<std::size_t>(0)](std::uint8_t* data, std::size_t bytes,
                                                   const TWaveFormatEx& format)
        {
            for (std::size_t index = 0; index < bytes / 4; ++index, ++*frame)
            {
                for (const std::size_t channel : {0u, 1u})
                {
                    const double frequency = channel == 0 ? 1000 : 3000;
                    const auto sample = static_cast<std::uint16_t>(
                        std::lround(0.5 * 32767 *
                                    std::sin(2 * std::numbers::pi * frequency * *frame /
                                             format.nSamplesPerSec)));
                    data[4 * index + 2 * channel] = static_cast<std::uint8_t>(sample & 0xFF);
                    data[4 * index + 2 * channel + 1] = static_cast<std::uint8_t>(sample >> 8);
                }
            }
        });
    const auto samples =
        ChannelOf(RecordOneSecond({48000, 2}, std::move(source), 16), PcmFormat(8000, 1, 16));
    ASSERT_GE(samples.size(), 8000u - LatencyFrames);
    const auto settled = Slice(samples, LatencyFrames, samples.size());
    EXPECT_NEAR(ToneFrequency(settled, 8000), 1000, 1);
    EXPECT_NEAR(Rms(settled), 0.5 / std::sqrt(2.0), 0.01);
}

TEST(RateConversionTest, VanishingCardFailsTheConvertedDevice)
{
    TSelectedCard selected(TVirtualSoundCard::Create(TVirtualClock::Stepped));
    selected.Card->AddCaptureDevice("48 kHz only", MakeToneSource(1000, 0.5, 0));
    selected.Card->Capture(0).AcceptOnlyRate(48000);
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    Recorder events;
    const auto buffers = MakeBuffers(3, BufferFrames * 2);
    const HWaveIn device = StartCapture(format, events, buffers);
    ASSERT_NE(device, nullptr);
    selected.Card->AdvanceMilliseconds(50);

    selected.Card->Capture(0).Vanish();
    EXPECT_EQ(events.FailedCount(), 1u);
    EXPECT_TRUE(events.WaitForDone(3, Limit));
    EXPECT_EQ(WaveInStart(device), wrDeviceRemoved);
    EXPECT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(WaveInClose(device), wrNoError);
}

// The devices opened while it lives convert at Latency's settings.
struct TOpenedAtLatency
{
    explicit TOpenedAtLatency(TWaveLatency latency) { WaveSetLatency(latency); }
    ~TOpenedAtLatency() { WaveSetLatency(TWaveLatency::Standard); }
};

class ConvertedPlaybackTest : public ::testing::TestWithParam<TWaveLatency>
{
};

// Playback at 8000 Hz mono through a 48000 Hz stereo-only speaker, recorded
// again at 8000 Hz mono through a loopback of the same kind, all on the
// card's real-time clock: in Standard through the conversion threads, in Low
// converted in the card's callbacks.
TEST_P(ConvertedPlaybackTest, ReachesTheCardAtItsRateWithPitchAndLength)
{
    const TOpenedAtLatency latency(GetParam());
    TSelectedCard selected(TVirtualSoundCard::Create(TVirtualClock::RealTime));
    auto speaker = std::make_shared<TMemorySink>();
    selected.Card->AddPlaybackDevice("48 kHz speaker", speaker);
    selected.Card->Playback(0).AcceptOnlyRate(48000);
    selected.Card->Playback(0).AcceptOnlyChannels(2);
    selected.Card->AddLoopbackCaptureDevice("48 kHz loopback", 0);
    selected.Card->Capture(0).AcceptOnlyRate(48000);
    selected.Card->Capture(0).AcceptOnlyChannels(2);
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);

    Recorder captureEvents;
    const auto captureBuffers = MakeBuffers(12, BufferFrames * 2);
    const HWaveIn capture = StartCapture(format, captureEvents, captureBuffers);
    ASSERT_NE(capture, nullptr);

    Recorder playbackEvents;
    HWaveOut playback = nullptr;
    ASSERT_EQ(WaveOutOpen(&playback, 0, &format, Recorder::OnPlayback, &playbackEvents), wrNoError);
    const auto tone = SineBytes(1000, 0.5, 8 * BufferFrames, format);
    const auto playbackBuffers = MakeBuffers(8, BufferFrames * 2);
    for (std::size_t index = 0; index < playbackBuffers.size(); ++index)
    {
        auto& header = playbackBuffers[index]->Header;
        std::copy_n(tone.begin() + static_cast<std::ptrdiff_t>(index * BufferFrames * 2),
                    BufferFrames * 2, header.lpData);
        ASSERT_EQ(WaveOutPrepareHeader(playback, &header), wrNoError);
        ASSERT_EQ(WaveOutWrite(playback, &header), wrNoError);
    }
    EXPECT_TRUE(playbackEvents.WaitForDone(8, Limit));
    // 1.5 s of capture: the tone has long reached the speaker and come back.
    EXPECT_TRUE(captureEvents.WaitForDone(12, Limit));
    EXPECT_EQ(WaveOutReset(playback), wrNoError);
    EXPECT_EQ(WaveOutClose(playback), wrNoError);
    EXPECT_EQ(WaveInReset(capture), wrNoError);
    EXPECT_EQ(WaveInClose(capture), wrNoError);

    const TWaveFormatEx cardFormat = PcmFormat(48000, 2, 16);
    const auto played = ChannelOf(speaker->Bytes(), cardFormat, 0);
    EXPECT_EQ(ChannelOf(speaker->Bytes(), cardFormat, 1), played);
    const Span loud = LoudSpan(played, 0.25);
    EXPECT_NEAR(static_cast<double>(loud.End - loud.Begin), 48000, 480);
    EXPECT_NEAR(ToneFrequency(Slice(played, loud.Begin + 480, loud.End - 480), 48000), 1000, 1);
    // Silence before the tone stays digital silence (no dither, no noise).
    const auto before = Slice(played, 0, loud.Begin - std::min<std::size_t>(loud.Begin, 48 * 40));
    EXPECT_EQ(Rms(before), 0);

    const auto back = ChannelOf(Recorded(captureEvents), format);
    const Span heard = LoudSpan(back, 0.25);
    EXPECT_NEAR(static_cast<double>(heard.End - heard.Begin), 8000, 80);
    EXPECT_NEAR(ToneFrequency(Slice(back, heard.Begin + 80, heard.End - 80), 8000), 1000, 1);
}

INSTANTIATE_TEST_SUITE_P(BothLatencies, ConvertedPlaybackTest,
                         ::testing::Values(TWaveLatency::Standard, TWaveLatency::Low),
                         [](const auto& info)
                         { return info.param == TWaveLatency::Low ? "Low" : "Standard"; });

} // namespace keb::test
