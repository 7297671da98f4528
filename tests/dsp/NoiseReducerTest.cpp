// The noise reducer over synthetic receiver audio, pulled and pushed: how
// much noise it takes from CW and from a voice at each level, that keying
// survives, that clean audio passes, that its noise floor follows a change
// of the band, level changes while running, and the bypass.
#include "dsp/NoiseReducer.h"

#include "tests/dsp/CleanupRig.h"
#include "tests/dsp/CleanupSignals.h"

#include <cmath>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

// The reducer's delay at 8000 Hz: one hop.
constexpr int Delay = 64;

class NoiseReducerTest : public ::testing::TestWithParam<Drive>
{
  protected:
    TSignal Reduced(int level, const TSignal& input, const std::function<void(int)>& between = {})
    {
        Reducer.SetLevel(level);
        return FromPcm(RunThrough(Reducer, ToPcm(input), GetParam(), 1000, between));
    }

    // The SNR gain (dB) at level for wanted + noise, measured from 3 s on
    // by phase inversion.
    double SnrGain(int level, const TSignal& wanted, const TSignal& noise)
    {
        TSignal inverted = noise;
        for (float& v : inverted)
            v = -v;
        const double seconds = static_cast<double>(wanted.size()) / SignalRate;
        const TSplitOutput split = SplitByInversion(Reduced(level, Sum({&wanted, &noise})),
                                                    Reduced(level, Sum({&wanted, &inverted})));
        return RatioDb(split.signal, split.noise, 3, seconds) - RatioDb(wanted, noise, 3, seconds);
    }

    TMMNoiseReducer Reducer{nullptr};
};

TEST_P(NoiseReducerTest, CwInWhiteNoiseGainsAndKeepsItsKeying)
{
    const double seconds = 20;
    const TSignal keying = CwKeying(seconds, 30);
    const TSignal cw = KeyedCw(keying, 700, 3000);
    const TSignal noise = WhiteNoise(seconds, 1500, 7);
    const double keyedBefore = KeyingCorrelation(keying, Sum({&cw, &noise}), 3, seconds);
    double lastGain = 0;
    for (int level = 1; level <= 3; ++level)
    {
        const double gain = SnrGain(level, cw, noise);
        const double keyed =
            KeyingCorrelation(keying, Reduced(level, Sum({&cw, &noise})), 3, seconds);
        EXPECT_GT(gain, lastGain) << "level " << level;
        EXPECT_GT(keyed, std::max(0.9, keyedBefore)) << "level " << level;
        lastGain = gain;
    }
    EXPECT_GT(SnrGain(2, cw, noise), 10.0);
}

TEST_P(NoiseReducerTest, VoiceInNoiseGains)
{
    const TSignal voice = Voice(15, 8000);
    const TSignal noise = PinkNoise(15, 1200, 8);
    EXPECT_GT(SnrGain(2, voice, noise), 4.5);
}

TEST_P(NoiseReducerTest, CleanAudioPassesUnchanged)
{
    const double seconds = 10;
    const TSignal keying = CwKeying(seconds, 20);
    const TSignal cw = KeyedCw(keying, 600, 8000);
    const TSignal voice = Voice(seconds, 10000);
    for (const TSignal* clean : {&cw, &voice})
    {
        const TSignal out = Reduced(3, *clean);
        EXPECT_NEAR(Db(Rms(out, 2 + Delay / 8000.0, seconds) / Rms(*clean, 2, seconds)), 0.0, 1.0);
        EXPECT_GT(SnrDb(*clean, out, Delay, 2, seconds), 25.0) << (clean == &cw ? "cw" : "voice");
    }
}

TEST_P(NoiseReducerTest, FloorFollowsAChangeOfTheBand)
{
    // The noise rises by 12 dB after 5 s; the residual noise follows within
    // about two seconds (no learning step), and falls back when the band quiets.
    TSignal noise = WhiteNoise(15, 300, 9);
    for (std::size_t i = 5 * SignalRate; i < 10 * SignalRate; ++i)
        noise[i] *= 4.0f;
    const TSignal out = Reduced(2, noise);
    const double quiet = Rms(out, 3, 5) / Rms(noise, 3, 5);
    const double loud = Rms(out, 8, 10) / Rms(noise, 8, 10);
    const double quietAgain = Rms(out, 13, 15) / Rms(noise, 13, 15);
    EXPECT_LT(Db(quiet), -10.0);
    EXPECT_LT(Db(loud), -10.0);
    EXPECT_LT(Db(quietAgain), -10.0);
}

TEST_P(NoiseReducerTest, LevelChangesWhileRunningLeaveNoGapOrGlitch)
{
    const double seconds = 8;
    const TSignal voice = Voice(seconds, 9000);
    const TSignal noise = WhiteNoise(seconds, 800, 10);
    const TSignal input = Sum({&voice, &noise});
    const TSignal strongest = Reduced(3, input);
    // Every 125 ms another level, off included.
    const TSignal out = Reduced(0, input, [this](int buffer) { Reducer.SetLevel(buffer % 4); });
    ASSERT_EQ(out.size(), input.size());
    float peak = 0;
    for (float v : input)
        peak = std::max(peak, std::fabs(v));
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i]), peak * 1.1f) << "sample " << i;
    // No stretch of 10 ms is much quieter than the strongest level or the
    // input (off, undelayed) makes it.
    for (double from = 3; from < seconds - 0.01; from += 0.01)
        ASSERT_GT(Rms(out, from, from + 0.01),
                  0.5 * std::min(Rms(strongest, from, from + 0.01), Rms(input, from, from + 0.01)))
            << "from " << from << " s";
}

TEST_P(NoiseReducerTest, OffAndDisabledPassBitExact)
{
    const TSignal noise = WhiteNoise(3, 2000, 11);
    const std::vector<std::int16_t> input = ToPcm(noise);
    Reducer.SetLevel(0);
    EXPECT_EQ(RunThrough(Reducer, input, GetParam()), input);
    Reducer.SetLevel(2);
    Reducer.SetEnabled(false);
    EXPECT_EQ(RunThrough(Reducer, input, GetParam()), input);
    Reducer.SetEnabled(true);
    EXPECT_NE(RunThrough(Reducer, input, GetParam()), input);
}

INSTANTIATE_TEST_SUITE_P(Drives, NoiseReducerTest, ::testing::Values(Drive::Pull, Drive::Push));

} // namespace
} // namespace keb::test
