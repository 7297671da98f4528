// The low-latency filter against the FFT engine whose design it runs: with the engine's own
// taps it gives the engine's samples; in minimum phase it keeps the engine's magnitude
// response; new taps reach a running filter whole, at a block boundary.
#include "dsp/LowLatencyFilter.h"

#include "FFTFilterTestSupport.h"

#include <atomic>
#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace keb::test
{
namespace
{

constexpr int Rate = 8000;
constexpr int Bands = 20;
constexpr float BandWidth = 200;
constexpr float Closed = -60;

std::vector<int16_t> Noise(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> distribution(-8000, 8000);
    std::vector<int16_t> samples(count);
    for (auto& sample : samples)
        sample = static_cast<int16_t>(distribution(generator));
    return samples;
}

// A 256-point engine with the window's 20 bands: first .. last open at 0 dB, the others
// closed (first > last: all open but band -first - 1 closed).
TEnginePtr BandEngine(int first, int last)
{
    TEnginePtr engine = MakeEngine(1, 256);
    SetFFTFilterBand(engine.get(), 0, Rate / 2.0f, 0);
    for (int band = 0; band < Bands; ++band)
    {
        const bool open = first <= last ? band >= first && band <= last : band != -first - 1;
        SetFFTFilterBand(engine.get(), band * BandWidth, (band + 1) * BandWidth,
                         open ? 0.0f : Closed);
    }
    return engine;
}

std::vector<float> TapsOf(TFFTFilter* engine)
{
    std::vector<float> taps(TLowLatencyFilter::MaxTaps);
    taps.resize(static_cast<std::size_t>(FFTFilterTaps(engine, taps.data())));
    return taps;
}

std::vector<float> MinimumPhase(const std::vector<float>& taps)
{
    std::vector<float> result(taps.size());
    MinimumPhaseTaps(taps.data(), static_cast<int>(taps.size()), result.data());
    return result;
}

double GainDb(const std::vector<float>& taps, double frequency)
{
    std::complex<double> sum = 0;
    for (std::size_t t = 0; t < taps.size(); ++t)
        sum += static_cast<double>(taps[t]) *
               std::polar(1.0, -2 * M_PI * frequency * static_cast<double>(t) / Rate);
    return 20 * std::log10(std::abs(sum) + 1e-12);
}

// Runs input through the filter in calls of the given frame counts, in turn.
std::vector<int16_t> Filtered(TLowLatencyFilter& filter, std::vector<int16_t> input,
                              const std::vector<int>& calls, int channels = 1)
{
    const int frames = static_cast<int>(input.size()) / channels;
    for (int done = 0, call = 0; done < frames; ++call)
    {
        const int count =
            std::min(calls[static_cast<std::size_t>(call) % calls.size()], frames - done);
        filter.Process(input.data() + done * channels, count, 0);
        done += count;
    }
    return input;
}

TEST(LowLatencyFilter, WithTheEngineTapsItGivesTheEngineSamplesInBlocksOfAnySize)
{
    TEnginePtr engine = BandEngine(3, 11);
    SetFFTFilterBand(engine.get(), 2500, 2700, 6);
    const std::vector<int16_t> input = Noise(12 * 1024, 7);
    // Calls of whole frames: the engine puts no silence in front, its output is the plain
    // convolution with its taps.
    const std::vector<int16_t> expected = RunThrough(engine.get(), 0, input, 2048).Output;
    const std::vector<float> taps = TapsOf(engine.get());
    ASSERT_EQ(taps.size(), 129u);
    for (const std::vector<int>& calls :
         std::vector<std::vector<int>>{{1}, {7, 64, 300}, {32}, {1000, 3}})
    {
        TLowLatencyFilter filter(1);
        filter.SetTaps(taps.data(), static_cast<int>(taps.size()));
        const std::vector<int16_t> output = Filtered(filter, input, calls);
        int mismatches = 0;
        for (std::size_t i = 0; i < input.size(); ++i)
            mismatches += std::abs(output[i] - expected[i]) > 1;
        EXPECT_EQ(mismatches, 0) << "calls of " << calls[0] << " frames first";
    }
}

TEST(LowLatencyFilter, MinimumPhaseKeepsTheMagnitudeOfEveryBandSetting)
{
    // The presets' shapes (one, two, nine and twelve open bands), one band closed alone,
    // and flat.
    const std::vector<std::pair<int, int>> settings = {{4, 4},  {3, 4},  {2, 10},
                                                       {1, 12}, {-8, 0}, {0, Bands - 1}};
    for (const auto& [first, last] : settings)
    {
        SCOPED_TRACE("bands " + std::to_string(first) + " .. " + std::to_string(last));
        TEnginePtr engine = BandEngine(first, last);
        const std::vector<float> linear = TapsOf(engine.get());
        const std::vector<float> minimum = MinimumPhase(linear);
        double worst = 0;
        for (double frequency = 25; frequency < Rate / 2; frequency += 25)
        {
            const double want = GainDb(linear, frequency);
            if (want > -20)
                worst = std::max(worst, std::abs(GainDb(minimum, frequency) - want));
            else
                EXPECT_LT(GainDb(minimum, frequency), -20) << frequency << " Hz";
        }
        EXPECT_LT(worst, 0.05);
    }
    // One closed band alone: its centre at least 30 dB down, as in the engine.
    const std::vector<float> notched = MinimumPhase(TapsOf(BandEngine(-8, 0).get()));
    EXPECT_LT(GainDb(notched, 7.5 * BandWidth), -30);
}

TEST(LowLatencyFilter, MinimumPhaseMovesTheFlatFiltersDelayToTheFirstTap)
{
    const std::vector<float> linear = TapsOf(BandEngine(0, Bands - 1).get());
    ASSERT_NEAR(linear[64], 0.99763, 1e-4); // linear phase: the centre, N/4
    const std::vector<float> minimum = MinimumPhase(linear);
    EXPECT_NEAR(minimum[0], 0.99763, 1e-3);
    for (std::size_t t = 1; t < minimum.size(); ++t)
        EXPECT_NEAR(minimum[t], 0.0, 1e-3) << t;
}

TEST(LowLatencyFilter, SelectedChannelIsFilteredAndTheOtherPassesUntouched)
{
    const std::vector<float> half = {0.5f};
    std::vector<int16_t> stereo = Noise(2000, 3);
    for (int selection : {1, 2})
    {
        TLowLatencyFilter filter(2);
        filter.SetTaps(half.data(), 1);
        std::vector<int16_t> output = stereo;
        EXPECT_FALSE(filter.Process(output.data(), 1000, selection));
        for (std::size_t frame = 0; frame < 1000; ++frame)
            for (int channel = 0; channel < 2; ++channel)
            {
                const int16_t in = stereo[2 * frame + static_cast<std::size_t>(channel)];
                const int16_t want = channel == selection - 1 ? static_cast<int16_t>(in / 2) : in;
                ASSERT_EQ(output[2 * frame + static_cast<std::size_t>(channel)], want);
            }
    }
}

TEST(LowLatencyFilter, ClipsToSixteenBitsAndSaysSo)
{
    const std::vector<float> doubling = {2.0f};
    TLowLatencyFilter filter(1);
    filter.SetTaps(doubling.data(), 1);
    std::vector<int16_t> samples = {1000, 20000, -20000};
    EXPECT_TRUE(filter.Process(samples.data(), 3, 0));
    EXPECT_EQ(samples, (std::vector<int16_t>{2000, 32767, -32768}));
    std::vector<int16_t> quiet = {100, -100};
    EXPECT_FALSE(filter.Process(quiet.data(), 2, 0));
}

// The main thread hands over taps while the audio thread filters: every block comes out
// with one whole set (gain 1 or gain 1/2 on a constant input), never with a mixture.
TEST(LowLatencyFilter, TapsHandedOverWhileFilteringApplyWholeAtABlockBoundary)
{
    constexpr int Taps = 129;
    std::vector<float> unity(Taps, 0.0f);
    std::vector<float> half(Taps, 0.0f);
    unity[0] = 1.0f;
    half[Taps - 1] = 0.5f; // a delayed half: the history of a constant is constant too
    TLowLatencyFilter filter(1);
    filter.SetTaps(unity.data(), Taps);
    std::vector<int16_t> block(64);
    for (int call = 0; call < 4; ++call) // the history fills with the constant
    {
        std::fill(block.begin(), block.end(), int16_t{10000});
        filter.Process(block.data(), static_cast<int>(block.size()), 0);
    }
    std::atomic<bool> done{false};
    std::thread designer(
        [&]
        {
            for (int round = 0; !done.load(); ++round)
                filter.SetTaps(round % 2 ? unity.data() : half.data(), Taps);
        });
    int mixed = 0;
    int halves = 0;
    for (int call = 0; call < 20000; ++call)
    {
        std::fill(block.begin(), block.end(), int16_t{10000});
        filter.Process(block.data(), static_cast<int>(block.size()), 0);
        const bool whole = std::all_of(block.begin(), block.end(),
                                       [&](int16_t value) { return value == block[0]; });
        mixed += !whole || (block[0] != 10000 && block[0] != 5000);
        halves += block[0] == 5000;
    }
    done = true;
    designer.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(halves, 0);
}

} // namespace
} // namespace keb::test
