// The tool's chain against the window's own chain, and its aligned output
// against its input.
#include "demo/DemoSignal.h"
#include "tests/dsp/TestChain.h"
#include "tests/tools/FilterTestSupport.h"
#include "tools/FilterJob.h"

#include <random>
#include <sndfile.h>

namespace keb
{
namespace
{

std::vector<std::int16_t> Noise(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-8000, 8000);
    std::vector<std::int16_t> samples(count);
    for (auto& sample : samples)
        sample = static_cast<std::int16_t>(value(random));
    return samples;
}

class FilterChainTest : public test::FilterFolderTest
{
  protected:
    // Writes samples as an 8000 Hz mono WAV file and filters it.
    std::vector<std::int16_t> Filter(const std::vector<std::int16_t>& samples,
                                     TFilterOptions options)
    {
        test::WriteSound(File("in.wav"), {8000, 1, samples}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        options.Input = File("in.wav");
        options.Output = File("out.wav");
        RunFilterJob(options);
        test::TSound output = test::ReadSound(File("out.wav"));
        EXPECT_EQ(output.Rate, 8000);
        EXPECT_EQ(output.Channels, 1);
        return output.Samples;
    }

    // From 4.5 s on: Standard's engine puts silence in front of its output
    // more than once during its first 32 pulls (4 s), which breaks the
    // tones' phase there.
    static std::vector<std::int16_t> Settled(const std::vector<std::int16_t>& samples)
    {
        return {samples.begin() + 36000, samples.end()};
    }

    void ExpectPresetOf400HzAsTheChain(TLatency latency);
};

TEST_F(FilterChainTest, ThePresetOf400HzPlaysAsTheGeneratorEqualizerChainInBothModes)
{
    for (TLatency latency : {TLatency::Standard, TLatency::Low})
        ExpectPresetOf400HzAsTheChain(latency);
}

TEST_F(FilterChainTest, LowLatencyKeepsEveryPresetsPassbandAndClosesABandAlone)
{
    // Tones at the centres of the open bands, at 0 dB in both modes; the
    // modes' gains agree within 0.5 dB.
    for (TPreset preset : {TPreset::pr02, TPreset::pr04, TPreset::pr18, TPreset::pr26})
    {
        const TBandPositions positions = *PresetPositions(preset, WheelStartValue);
        std::vector<double> centres;
        for (int band = 0; band < 20; ++band)
            if (positions[static_cast<std::size_t>(band)] == 0)
                centres.push_back(200.0 * band + 100);
        std::vector<std::int16_t> tones(6 * 8000);
        for (double centre : centres)
        {
            const std::vector<std::int16_t> tone = test::Sine(centre, 8000, 1500, tones.size());
            for (std::size_t i = 0; i < tones.size(); ++i)
                tones[i] = static_cast<std::int16_t>(tones[i] + tone[i]);
        }
        TFilterOptions options;
        options.Preset = preset;
        const std::vector<std::int16_t> standard = Settled(Filter(tones, options));
        options.Latency = TLatency::Low;
        const std::vector<std::int16_t> low = Settled(Filter(tones, options));
        for (double centre : centres)
        {
            const double difference = 10 * std::log10(test::TonePower(low, centre, 8000) /
                                                      test::TonePower(standard, centre, 8000));
            EXPECT_NEAR(difference, 0.0, 0.5) << centre << " Hz, preset " << int(preset);
        }
    }
    // Band 7 (1400 .. 1600 Hz) closed alone takes its tone at least 30 dB down.
    const std::vector<std::int16_t> tone = test::Sine(1500, 8000, 8000, 6 * 8000);
    TFilterOptions options;
    options.Gains = TBandPositions{};
    (*options.Gains)[7] = -60;
    options.Latency = TLatency::Low;
    const std::vector<std::int16_t> closed = Settled(Filter(tone, options));
    EXPECT_LT(10 * std::log10(test::TonePower(closed, 1500, 8000) /
                              test::TonePower(Settled(tone), 1500, 8000)),
              -30.0);
}

void FilterChainTest::ExpectPresetOf400HzAsTheChain(TLatency latency)
{
    SCOPED_TRACE(std::string(LatencyName(latency)));
    // The window's chain with the 0.4 preset at the wheel's start value 4:
    // bands 3 and 4 (600 .. 1000 Hz) open, every other band at -60 dB.
    test::Chain chain;
    chain.Equalizer.SetLowLatency(latency == TLatency::Low);
    test::AddMainWindowBands(chain.Equalizer);
    for (int band = 0; band < 20; ++band)
        chain.Equalizer.Filters()->Items(band)->SetValue(2, band == 3 || band == 4 ? 0.0f : -60.0f);
    chain.Open();
    const std::vector<std::int16_t> played = chain.Pull(40);
    const std::vector<std::int16_t>& recorded = chain.Tap.Recorded;
    ASSERT_EQ(recorded.size(), 40000u);

    TFilterOptions options;
    options.Preset = TPreset::pr04;
    options.Latency = latency;
    std::vector<std::int16_t> filtered = Filter(recorded, options);
    ASSERT_EQ(filtered.size(), played.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < played.size(); ++i)
        differing += filtered[i] != played[i];
    EXPECT_EQ(differing, 0u);
    // Not a trivial match: the filter took most of the noise away.
    EXPECT_LT(test::TonePower(filtered, 2000, 8000) * 1000, test::TonePower(recorded, 2000, 8000));
}

TEST_F(FilterChainTest, AnAlignedRunLinesTheOutputUpWithTheInput)
{
    std::vector<std::int16_t> input(6 * 8000);
    TDemoSignal(8000).Fill(input.data(), input.size());
    TFilterOptions options;
    options.Preset = TPreset::pr18;
    options.Shift = 2;
    options.Align = true;
    std::vector<std::int16_t> output = Filter(input, options);
    ASSERT_EQ(output.size(), input.size());
    double atZero = test::Correlation(input, output, 0);
    EXPECT_GT(atZero, 0.8);
    for (int lag = -300; lag <= 300; ++lag)
    {
        if (lag == 0)
            continue;
        EXPECT_LT(test::Correlation(input, output, lag), atZero) << "lag " << lag;
    }
}

TEST_F(FilterChainTest, AnAlignedFlatFilterGivesTheInputBackAtEveryLength)
{
    // At flat gain the filter is close to a pure delay; aligned, its output
    // must sit on the input, also where the engine's frames do not divide the
    // 1000-sample pulls and it puts silence in front more than once. The
    // shortest designs (8 and 16 points) are too short to be flat, so for
    // them only the position is checked.
    const std::vector<std::int16_t> input = Noise(3 * 8000 + 123, 7);
    for (int length : {8, 16, 64, 256, 1024, 4096})
    {
        TFilterOptions options;
        options.FFTLength = length;
        options.Align = true;
        std::vector<std::int16_t> output = Filter(input, options);
        ASSERT_EQ(output.size(), input.size()) << "length " << length;
        double atZero = test::Correlation(input, output, 0);
        for (int lag : {-3, -2, -1, 1, 2, 3, 8, 64})
            EXPECT_LT(test::Correlation(input, output, lag), atZero) << length << " at " << lag;
        if (length < 64)
            continue;
        int largest = 0;
        for (std::size_t i = 0; i < input.size(); ++i)
            largest = std::max(largest, std::abs(output[i] - input[i]));
        // Within 0.5 % of the noise's peak of 8000.
        EXPECT_LE(largest, 40) << "length " << length;
    }
}

TEST_F(FilterChainTest, BypassPassesTheInputBitExactAlsoAligned)
{
    const std::vector<std::int16_t> input = Noise(12345, 3);
    for (bool align : {false, true})
    {
        TFilterOptions options;
        options.Preset = TPreset::pr02;
        options.Bypass = true;
        options.Align = align;
        EXPECT_EQ(Filter(input, options), input);
    }
}

TEST_F(FilterChainTest, WithoutAlignTheOutputKeepsTheInputsLengthAndLags)
{
    const std::vector<std::int16_t> input = Noise(10 * 1000 + 17, 5);
    std::vector<std::int16_t> output = Filter(input, TFilterOptions{});
    ASSERT_EQ(output.size(), input.size());
    // What the window would play: the filtered audio behind the engine's
    // delay, at least the filter's own N/4 = 64 samples at length 256.
    int best = 0;
    for (int lag = 1; lag <= 600; ++lag)
        if (test::Correlation(input, output, lag) > test::Correlation(input, output, best))
            best = lag;
    EXPECT_GE(best, 64);
    EXPECT_GT(test::Correlation(input, output, best), 0.9);
}

} // namespace
} // namespace keb
