// The main window's preset through the generator -> equalizer chain,
// measured on white noise.
#include "dsp/MMEQ.h"
#include "tests/dsp/TestChain.h"

#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <numbers>

namespace keb
{
namespace
{

constexpr int BlockLength = 1024;
constexpr double SampleRate = 8000;

// Power per frequency bin (0 .. SampleRate/2), averaged over whole blocks of
// BlockLength samples with a Hann window, by a plain double-precision DFT.
std::vector<double> AveragedSpectrum(const std::vector<std::int16_t>& signal, std::size_t start)
{
    std::vector<double> cosines(BlockLength), sines(BlockLength), window(BlockLength);
    for (int n = 0; n < BlockLength; ++n)
    {
        cosines[n] = std::cos(2 * std::numbers::pi * n / BlockLength);
        sines[n] = std::sin(2 * std::numbers::pi * n / BlockLength);
        window[n] = 0.5 - 0.5 * cosines[n];
    }
    std::vector<double> power(BlockLength / 2 + 1, 0.0);
    std::vector<double> block(BlockLength);
    for (std::size_t offset = start; offset + BlockLength <= signal.size(); offset += BlockLength)
    {
        for (int n = 0; n < BlockLength; ++n)
            block[n] = window[n] * signal[offset + n];
        for (int k = 0; k <= BlockLength / 2; ++k)
        {
            double re = 0, im = 0;
            for (int n = 0; n < BlockLength; ++n)
            {
                const int phase = (k * n) % BlockLength;
                re += block[n] * cosines[phase];
                im -= block[n] * sines[phase];
            }
            power[k] += re * re + im * im;
        }
    }
    return power;
}

// The filter's power gain averaged over the bins whose frequency lies in one
// of the ranges: the share of white noise's energy there that gets through.
// Each bin's output is measured against its own input, so that the ripple of
// a finite noise sample cancels.
double RegionGain(const std::vector<double>& in, const std::vector<double>& out,
                  std::initializer_list<std::pair<double, double>> ranges)
{
    double sum = 0;
    int bins = 0;
    for (std::size_t k = 0; k < in.size(); ++k)
    {
        const double frequency = k * SampleRate / BlockLength;
        for (const auto& [low, high] : ranges)
            if (frequency >= low && frequency <= high)
            {
                sum += out[k] / in[k];
                ++bins;
            }
    }
    return sum / bins;
}

// Both ways of filtering; the low-latency filter gets each band edit of the
// running equalizer as the engine does.
class EqualizerChainModes : public ::testing::TestWithParam<bool>
{
};

TEST_P(EqualizerChainModes, PresetOf1800HzAtShift2AttenuatesOutsideItsPassband)
{
    test::Chain chain;
    chain.Equalizer.SetLowLatency(GetParam());
    test::AddMainWindowBands(chain.Equalizer);
    chain.Open();
    chain.Pull(2);
    // The sliders of the preset, set one after another as the window does.
    for (int k = 0; k < 20; ++k)
        chain.Equalizer.Filters()->Items(k)->SetValue(2, test::Preset18Gain(k, 2));
    // Let the old response leave the queues, and let the engine put its second
    // silence in front (the 11th buffer of 1000 samples finds 8 samples too
    // few), whose click would be counted as stopband energy.
    chain.Pull(12);
    chain.Tap.Recorded.clear();
    const auto out = chain.Pull(80);

    const auto in = AveragedSpectrum(chain.Tap.Recorded, 0);
    const auto filtered = AveragedSpectrum(out, 0);
    const auto transfer = [&](std::initializer_list<std::pair<double, double>> ranges)
    { return RegionGain(in, filtered, ranges); };
    const double pass = transfer({{400, 2200}});
    const double outside = 10 * std::log10(transfer({{0, 399}, {2201, 4000}}) / pass);
    const double beyondSkirts = 10 * std::log10(transfer({{0, 300}, {2300, 4000}}) / pass);
    const double passGain = 10 * std::log10(transfer({{500, 2100}}));
    std::cout << "passband gain " << passGain << " dB; outside 400..2200 Hz " << outside
              << " dB; outside 300..2300 Hz " << beyondSkirts << " dB\n";

    EXPECT_NEAR(passGain, 0, 0.5);
    // A filter of 129 taps needs about 100 Hz to fall from its passband to its
    // stopband; beyond that the noise is more than 55 dB down (about 57 dB).
    EXPECT_LT(beyondSkirts, -55);
    // The skirts inside 300..400 and 2200..2300 Hz keep the total near -23 dB.
    EXPECT_LT(outside, -15);
}

INSTANTIATE_TEST_SUITE_P(EqualizerChain, EqualizerChainModes, ::testing::Bool(),
                         [](const auto& Info) { return Info.param ? "low" : "standard"; });

} // namespace
} // namespace keb
