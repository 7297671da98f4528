// Audio through the whole window in both latency modes, on the stepped
// virtual card: the captured signal comes out unchanged and without a gap or
// a repeated block, delayed by one fixed number of frames (at most 50 ms in
// Low); a tone passes at its pitch and a closed band takes its tone out; a
// mode cannot change under a running chain and takes effect at the next ON.
#include "WindowRig.h"
#include "app/LatencyMode.h"
#include "settings/Presets.h"
#include "tests/platform/audio/ToneAnalysis.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <numbers>

namespace keb::test
{
namespace
{

using namespace std::chrono_literals;

constexpr double LowTone = 700.0;   // in band 3, 600-800 Hz
constexpr double HighTone = 1500.0; // in band 7, 1400-1600 Hz
constexpr double ToneAmplitude = 6000.0;
// The flat equalizer's gain: 0 dB bands are 10^(6/20) / 2.
constexpr double FlatGain = 0.99763;
// Low's promise: capture to playback in at most 50 ms.
constexpr std::int64_t LowDelayLimit = RigSampleRate / 20;
// Where the played audio has settled. With 1000-sample buffers and frames of
// 256 the equalizer puts silence in front of its output until it leads by
// 248 samples; in Standard the last of it (16 samples) comes 1.4 s after ON.
constexpr std::size_t Settled = 2 * RigSampleRate;

double Tone(double frequency, double frame)
{
    return ToneAmplitude * std::sin(2 * std::numbers::pi * frequency * frame / RigSampleRate);
}

// Uniform noise of +-8000, the same for the same frame.
std::int16_t Noise(std::uint64_t frame)
{
    std::uint64_t bits = (frame + 1) * 0x9E3779B97F4A7C15ull;
    bits ^= bits >> 29;
    bits *= 0xBF58476D1CE4E5B9ull;
    bits ^= bits >> 32;
    return static_cast<std::int16_t>(static_cast<std::int64_t>(bits % 16001) - 8000);
}

std::int16_t OneTone(std::uint64_t frame)
{
    return static_cast<std::int16_t>(std::lround(Tone(LowTone, static_cast<double>(frame))));
}

std::int16_t TwoTones(std::uint64_t frameIndex)
{
    const auto frame = static_cast<double>(frameIndex);
    return static_cast<std::int16_t>(std::lround(Tone(LowTone, frame) + Tone(HighTone, frame)));
}

// The amplitude of the sine at frequency in the samples first .. first +
// count, through a Hann window.
double Amplitude(const std::vector<std::int16_t>& samples, std::size_t first, std::size_t count,
                 double frequency)
{
    return SineAmplitude({samples.begin(), samples.end()}, first, count, frequency, RigSampleRate);
}

double Decibels(double ratio)
{
    return 20 * std::log10(ratio);
}

// What the flat window plays at an index for noise delayed by some frames.
double DelayedNoise(std::int64_t index, std::int64_t playedStart, std::int64_t delay)
{
    const std::int64_t frame = index + playedStart - delay;
    return frame < 0 ? 0.0 : FlatGain * Noise(static_cast<std::uint64_t>(frame));
}

// The delay (frames, below a second) at which the last 50 ms played match
// the noise best.
std::int64_t BestDelay(const std::vector<std::int16_t>& played, std::int64_t playedStart)
{
    const std::int64_t last = static_cast<std::int64_t>(played.size());
    const std::int64_t first = last - RigSampleRate / 20;
    std::int64_t best = -1;
    double bestError = 0;
    for (std::int64_t delay = 0; delay < RigSampleRate; ++delay)
    {
        double error = 0;
        for (std::int64_t i = first; i < last; ++i)
            error += std::abs(played[i] - DelayedNoise(i, playedStart, delay));
        if (best < 0 || error < bestError)
        {
            best = delay;
            bestError = error;
        }
    }
    return best;
}

// Switches the window on, runs it for time on the card and switches it off;
// returns what was played.
std::vector<std::int16_t> Play(TWindowRig& rig, std::chrono::microseconds time)
{
    EXPECT_TRUE(rig.SwitchOn());
    EXPECT_TRUE(rig.Run(time)) << "a worker stalled";
    std::vector<std::int16_t> played = rig.Played();
    EXPECT_TRUE(rig.SwitchOff());
    EXPECT_TRUE(rig.ErrorBoxes.empty());
    return played;
}

class LatencyAudioTest : public ::testing::TestWithParam<TLatency>
{
};

TEST_P(LatencyAudioTest, FlatFilterPlaysTheSignalUnchangedWithoutGapsAtOneDelay)
{
    TWindowRig rig(Noise);
    ApplyLatency(rig.Form(), GetParam());
    const std::vector<std::int16_t> played = Play(rig, 4s);
    ASSERT_GT(played.size(), Settled + RigSampleRate);

    const std::int64_t delay = BestDelay(played, rig.PlayedStart());
    std::printf("%s: capture to playback %lld frames, %.1f ms\n",
                std::string(LatencyName(GetParam())).c_str(), static_cast<long long>(delay),
                static_cast<double>(delay) * 1000.0 / RigSampleRate);
    if (GetParam() == TLatency::Low)
    {
        EXPECT_LE(delay, LowDelayLimit);
    }
    // Every sample is the captured one at that one delay: a block dropped
    // or played twice, or silence put in, would shift the rest.
    int mismatches = 0;
    for (std::size_t i = Settled; i < played.size(); ++i)
    {
        const double expected =
            DelayedNoise(static_cast<std::int64_t>(i), rig.PlayedStart(), delay);
        if (std::abs(played[i] - expected) > 3 && ++mismatches <= 5)
            ADD_FAILURE() << "sample " << i << ": " << played[i] << ", expected " << expected;
    }
    EXPECT_EQ(mismatches, 0);
}

// Plays both tones with bands first .. last closed; returns the 700 Hz and
// the 1500 Hz tone's gain in dB once the audio has settled.
std::pair<double, double> ToneGains(TLatency latency, int first, int last)
{
    TWindowRig rig(TwoTones);
    TMainForm& form = rig.Form();
    ApplyLatency(form, latency);
    for (int band = first; band <= last; ++band)
    {
        form.sl[band]->SetPosition(BandClosed);
        EXPECT_FLOAT_EQ(form.Equalizer->Filters()->Items(band)->Gain(), BandClosed);
    }
    const std::vector<std::int16_t> played = Play(rig, 3s);
    if (played.size() < Settled + RigSampleRate / 2)
    {
        ADD_FAILURE() << "only " << played.size() << " samples played";
        return {};
    }
    const std::size_t count = played.size() - Settled;
    return {Decibels(Amplitude(played, Settled, count, LowTone) / ToneAmplitude),
            Decibels(Amplitude(played, Settled, count, HighTone) / ToneAmplitude)};
}

TEST_P(LatencyAudioTest, ClosedBandsTakeTheirToneOut)
{
    // 1200 .. 1800 Hz closed: 1500 Hz goes, 700 Hz passes at its pitch.
    const auto [open, closed] = ToneGains(GetParam(), 6, 8);
    EXPECT_NEAR(open, 0.0, 0.5);
    EXPECT_LE(closed, -40.0);
    // One band closed alone: both modes run the same design.
    const auto [stillOpen, lowered] = ToneGains(GetParam(), 7, 7);
    EXPECT_NEAR(stillOpen, 0.0, 0.5);
    EXPECT_LE(lowered, -30.0);
    std::printf("%s: 1500 Hz %.1f dB with 3 bands closed, %.1f dB with its band closed\n",
                std::string(LatencyName(GetParam())).c_str(), closed, lowered);
}

TEST_P(LatencyAudioTest, ModeIsRefusedWhileRunningAndTakesEffectAtTheNextOn)
{
    const TLatency other = GetParam() == TLatency::Low ? TLatency::Standard : TLatency::Low;
    TWindowRig rig(OneTone);
    TMainForm& form = rig.Form();
    ApplyLatency(form, GetParam());
    ASSERT_TRUE(rig.SwitchOn());
    ASSERT_TRUE(rig.Run(500ms));
    try
    {
        ApplyLatency(form, other);
        ADD_FAILURE() << "a running window took another mode";
    }
    catch (const ELatencyError& error)
    {
        EXPECT_STREQ(error.what(), "Change to property while device was open");
    }
    EXPECT_EQ(LatencyOf(form), GetParam());
    // The audio goes on as before.
    ASSERT_TRUE(rig.Run(2s));
    const std::vector<std::int16_t> before = rig.Played();
    ASSERT_GT(before.size(), Settled);
    EXPECT_NEAR(
        Decibels(Amplitude(before, Settled, before.size() - Settled, LowTone) / ToneAmplitude), 0.0,
        0.5);
    ASSERT_TRUE(rig.SwitchOff());

    ApplyLatency(form, other);
    EXPECT_EQ(LatencyOf(form), other);
    const std::vector<std::int16_t> after = Play(rig, 2500ms);
    ASSERT_GT(after.size(), Settled);
    EXPECT_NEAR(
        Decibels(Amplitude(after, Settled, after.size() - Settled, LowTone) / ToneAmplitude), 0.0,
        0.5);
    EXPECT_EQ(form.MMWaveIn->GetBufferSize(), LatencySettings(other).BufferSize);
}

// Tones at the centres of a preset's open bands, played through the window
// in that latency; their gains in dB once the audio has settled.
std::vector<double> PresetPassband(TLatency latency, TPreset preset)
{
    const TBandPositions positions = *PresetPositions(preset, 4);
    std::vector<double> centres;
    for (int band = 0; band < BandCount; ++band)
        if (positions[static_cast<std::size_t>(band)] == BandOpen)
            centres.push_back(200.0 * band + 100);
    TWindowRig rig(
        [&centres](std::uint64_t frame)
        {
            double sum = 0;
            for (double centre : centres)
                sum += 1500 * std::sin(2 * std::numbers::pi * centre * static_cast<double>(frame) /
                                       RigSampleRate);
            return static_cast<std::int16_t>(std::lround(sum));
        });
    TMainForm& form = rig.Form();
    ApplyLatency(form, latency);
    for (int band = 0; band < BandCount; ++band)
        form.sl[band]->SetPosition(positions[static_cast<std::size_t>(band)]);
    const std::vector<std::int16_t> played = Play(rig, 3s);
    std::vector<double> gains;
    if (played.size() < Settled + RigSampleRate / 2)
    {
        ADD_FAILURE() << "only " << played.size() << " samples played";
        return gains;
    }
    for (double centre : centres)
        gains.push_back(
            Decibels(Amplitude(played, Settled, played.size() - Settled, centre) / 1500));
    return gains;
}

TEST(LatencyFilterTest, LowPlaysEveryPresetsPassbandAsStandardDoes)
{
    for (TPreset preset : {TPreset::pr02, TPreset::pr04, TPreset::pr18, TPreset::pr26})
    {
        const std::vector<double> standard = PresetPassband(TLatency::Standard, preset);
        const std::vector<double> low = PresetPassband(TLatency::Low, preset);
        ASSERT_EQ(standard.size(), low.size());
        double worst = 0;
        for (std::size_t tone = 0; tone < low.size(); ++tone)
            worst = std::max(worst, std::abs(low[tone] - standard[tone]));
        std::printf("preset %d: %zu tones, Low within %.3f dB of Standard\n",
                    static_cast<int>(preset), low.size(), worst);
        EXPECT_LE(worst, 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, LatencyAudioTest,
                         ::testing::Values(TLatency::Standard, TLatency::Low),
                         [](const auto& info) { return std::string(LatencyName(info.param)); });

} // namespace
} // namespace keb::test
