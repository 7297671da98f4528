// The notch filter over synthetic receiver audio, pulled and pushed: what
// the automatic notch takes (steady carriers, drifting ones, four at once)
// and what it leaves (keyed CW, a tone 100 Hz away), the user's notches,
// changes while running, and the bypass.
#include "dsp/NotchFilter.h"

#include "tests/dsp/CleanupRig.h"
#include "tests/dsp/CleanupSignals.h"

#include <cmath>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

TSignal Filtered(TMMNotchFilter& notch, const TSignal& input, Drive drive,
                 const std::function<void(int)>& between = {})
{
    return FromPcm(RunThrough(notch, ToPcm(input), drive, 1000, between));
}

class NotchFilterTest : public ::testing::TestWithParam<Drive>
{
  protected:
    TMMNotchFilter Notch{nullptr};
};

TEST_P(NotchFilterTest, SteadyCarrierGoesKeyedCwStays)
{
    const double seconds = 12;
    const TSignal keying = CwKeying(seconds, 30);
    const TSignal cw = KeyedCw(keying, 700, 6000);
    // A carrier 100 Hz from the CW, and one far away that starts late.
    const TSignal nearCarrier = Tone(seconds, 800, 4000);
    TSignal lateCarrier = Tone(seconds, 1850, 5000);
    std::fill(lateCarrier.begin(), lateCarrier.begin() + 6 * SignalRate, 0.0f);
    const TSignal noise = WhiteNoise(seconds, 100, 1);
    const TSignal input = Sum({&cw, &nearCarrier, &lateCarrier, &noise});
    Notch.SetAutomatic(true);
    const TSignal out = Filtered(Notch, input, GetParam());

    const double cwIn = ToneAmplitude(cw, 700, 2, 12);
    EXPECT_NEAR(Db(ToneAmplitude(out, 700, 2, 12) / cwIn), 0.0, 1.0);
    EXPECT_LT(Db(ToneAmplitude(out, 800, 1, 6) / 4000), -30.0);
    // Down within one second of its start.
    EXPECT_LT(Db(ToneAmplitude(out, 1850, 7, 12) / 5000), -30.0);
    EXPECT_LT(Db(ToneAmplitude(out, 1850, 7, 7.5) / 5000), -25.0);
}

TEST_P(NotchFilterTest, KeyedCwAloneIsNotATone)
{
    const TSignal keying = CwKeying(20, 20);
    const TSignal cw = KeyedCw(keying, 650, 8000);
    const TSignal noise = WhiteNoise(20, 50, 2);
    const TSignal input = Sum({&cw, &noise});
    Notch.SetAutomatic(true);
    const TSignal out = Filtered(Notch, input, GetParam());
    for (double from = 0; from < 20; from += 2)
        EXPECT_NEAR(
            Db(ToneAmplitude(out, 650, from, from + 2) / ToneAmplitude(input, 650, from, from + 2)),
            0.0, 0.5)
            << "from " << from << " s";
}

TEST_P(NotchFilterTest, DriftingCarrierStaysNotched)
{
    // 20 Hz in 30 s.
    const TSignal carrier = Tone(30, 1200, 6000, 1220);
    const TSignal noise = WhiteNoise(30, 30, 3);
    const TSignal input = Sum({&carrier, &noise});
    Notch.SetAutomatic(true);
    const TSignal out = Filtered(Notch, input, GetParam());
    for (double from = 1; from < 30; from += 1)
        EXPECT_LT(Db(Rms(out, from, from + 1) / Rms(carrier, from, from + 1)), -30.0)
            << "from " << from << " s";
}

TEST_P(NotchFilterTest, FourCarriersAtOnceAndTheirRelease)
{
    const double frequencies[] = {450, 1020, 1610, 2480};
    TSignal input = WhiteNoise(10, 30, 4);
    for (double f : frequencies)
    {
        const TSignal carrier = Tone(5, f, 3000);
        for (std::size_t i = 0; i < carrier.size(); ++i)
            input[i] += carrier[i];
    }
    // After the carriers stop, keyed CW on one of their frequencies.
    const TSignal keying = CwKeying(10, 25);
    TSignal cw = KeyedCw(keying, 1020, 5000);
    std::fill(cw.begin(), cw.begin() + static_cast<long>(5.5 * SignalRate), 0.0f);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] += cw[i];
    Notch.SetAutomatic(true);
    const TSignal out = Filtered(Notch, input, GetParam());
    for (double f : frequencies)
        EXPECT_LT(Db(ToneAmplitude(out, f, 1, 5) / 3000), -30.0) << f << " Hz";
    EXPECT_NEAR(Db(ToneAmplitude(out, 1020, 6, 10) / ToneAmplitude(cw, 1020, 6, 10)), 0.0, 1.0);
}

TEST_P(NotchFilterTest, ManualNotchesTakeTheirFrequenciesOnly)
{
    const TSignal a = Tone(4, 600, 5000);
    const TSignal b = Tone(4, 1300, 5000);
    const TSignal kept = Tone(4, 1400, 5000);
    const TSignal input = Sum({&a, &b, &kept});
    const std::vector<float> notches{600, 1300, 2000, 3000, 3500};
    Notch.SetManualNotches(notches);
    EXPECT_EQ(Notch.ManualNotches(), (std::vector<float>{600, 1300, 2000, 3000}));
    const TSignal out = Filtered(Notch, input, GetParam());
    EXPECT_LT(Db(ToneAmplitude(out, 600, 0.1, 4) / 5000), -30.0);
    EXPECT_LT(Db(ToneAmplitude(out, 1300, 0.1, 4) / 5000), -30.0);
    EXPECT_NEAR(Db(ToneAmplitude(out, 1400, 0.1, 4) / 5000), 0.0, 0.3);
}

TEST_P(NotchFilterTest, ChangesWhileRunningLeaveNoGapOrGlitch)
{
    const TSignal tone = Tone(6, 1000, 6000);
    const TSignal other = Tone(6, 1710, 6000);
    const TSignal noise = WhiteNoise(6, 2000, 6);
    const TSignal input = Sum({&tone, &other, &noise});
    const TSignal out = Filtered(Notch, input, GetParam(),
                                 [this](int buffer)
                                 {
                                     // Every 125 ms another setting; the notches move onto and off
                                     // the tones.
                                     switch (buffer % 6)
                                     {
                                     case 0:
                                         Notch.AddManualNotch(1000);
                                         break;
                                     case 1:
                                         Notch.SetAutomatic(true);
                                         break;
                                     case 2:
                                         Notch.AddManualNotch(1710);
                                         break;
                                     case 3:
                                         Notch.ClearManualNotches();
                                         break;
                                     case 4:
                                         Notch.SetManualNotches(std::vector<float>{1200});
                                         break;
                                     default:
                                         Notch.SetAutomatic(false);
                                         break;
                                     }
                                 });
    ASSERT_EQ(out.size(), input.size());
    float peak = 0;
    for (float v : input)
        peak = std::max(peak, std::fabs(v));
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i]), peak * 1.1f) << "sample " << i;
    // At most the two tones go: every 10 ms keeps the noise.
    for (double from = 0; from < 5.99; from += 0.01)
        ASSERT_GT(Rms(out, from, from + 0.01), 0.25 * Rms(input, from, from + 0.01))
            << "from " << from << " s";
}

TEST_P(NotchFilterTest, DisabledPassesBitExact)
{
    const TSignal tone = Tone(3, 1000, 8000);
    const TSignal noise = WhiteNoise(3, 500, 5);
    const std::vector<std::int16_t> input = ToPcm(Sum({&tone, &noise}));
    Notch.SetAutomatic(true);
    Notch.SetManualNotches(std::vector<float>{1000});
    Notch.SetEnabled(false);
    EXPECT_EQ(RunThrough(Notch, input, GetParam()), input);
    Notch.SetEnabled(true);
    EXPECT_NE(RunThrough(Notch, input, GetParam()), input);
}

TEST_P(NotchFilterTest, StereoChannelsAreNotchedApart)
{
    const TSignal left = Tone(4, 900, 6000);
    const TSignal right = Tone(4, 1500, 6000);
    std::vector<std::int16_t> input(2 * left.size());
    for (std::size_t i = 0; i < left.size(); ++i)
    {
        input[2 * i] = static_cast<std::int16_t>(left[i]);
        input[2 * i + 1] = static_cast<std::int16_t>(right[i]);
    }
    Notch.SetManualNotches(std::vector<float>{900});
    const std::vector<std::int16_t> out = RunThrough(Notch, input, GetParam(), 1000, {}, 2);
    TSignal outLeft, outRight;
    for (std::size_t i = 0; i + 1 < out.size(); i += 2)
    {
        outLeft.push_back(out[i]);
        outRight.push_back(out[i + 1]);
    }
    EXPECT_LT(Db(ToneAmplitude(outLeft, 900, 0.5, 4) / 6000), -30.0);
    EXPECT_NEAR(Db(ToneAmplitude(outRight, 1500, 0.5, 4) / 6000), 0.0, 0.3);
}

INSTANTIATE_TEST_SUITE_P(Drives, NotchFilterTest, ::testing::Values(Drive::Pull, Drive::Push));

} // namespace
} // namespace keb::test
