// keb-filter's notch and noise reduction: the options, what the program
// makes of a recording with carriers and noise, the bypass, and --align
// taking the noise reducer's delay out too.
#include "tests/tools/FilterTestSupport.h"
#include "tools/FilterErrors.h"
#include "tools/FilterOptions.h"

#include <cmath>
#include <random>
#include <sndfile.h>

namespace keb
{
namespace
{

TEST(FilterCleanupOptions, ReadAndRefused)
{
    const TFilterOptions options =
        ParseFilterOptions({"--nr", "2", "--notch", "--notch-at=800,1450.5", "a.wav", "b.wav"});
    EXPECT_EQ(options.Cleanup, (TCleanupSettings{2, true, {800, 1450.5}}));
    EXPECT_EQ(ParseFilterOptions({"a.wav", "b.wav"}).Cleanup, TCleanupSettings{});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--nr", "loud", "a.wav", "b.wav"}, "--nr wants off, 1, 2 or 3, not \"loud\""},
        {{"--notch-at", "5000", "a.wav", "b.wav"}, "--notch-at wants up to four frequencies"},
        {{"--notch-at", "100,200,300,400,500", "a.wav", "b.wav"}, "--notch-at wants"},
        {{"--notch=on", "a.wav", "b.wav"}, "--notch takes no value"},
        {{"--nr", "1", "--nr", "2", "a.wav", "b.wav"}, "--nr is given twice"},
    };
    for (const auto& [arguments, cause] : cases)
    {
        std::string refusal = "accepted";
        try
        {
            ParseFilterOptions(arguments);
        }
        catch (const EFilterUsageError& error)
        {
            refusal = error.what();
        }
        EXPECT_NE(refusal.find(cause), std::string::npos) << refusal << " / wanted: " << cause;
    }
}

class FilterCleanupTest : public test::FilterFolderTest
{
  protected:
    // 6 s: keyed CW at 700 Hz, carriers at 1100 Hz (steady) and 2300 Hz,
    // white noise.
    void SetUp() override
    {
        test::FilterFolderTest::SetUp();
        std::mt19937 random(5);
        std::normal_distribution<double> noise(0, 300);
        recording_.resize(6 * 8000);
        for (std::size_t i = 0; i < recording_.size(); ++i)
        {
            const double t = static_cast<double>(i) / 8000;
            const bool keyDown = std::fmod(t, 0.3) < 0.15;
            const double v = (keyDown ? 6000 : 0) * std::sin(2 * M_PI * 700 * t) +
                             3000 * std::sin(2 * M_PI * 1100 * t) +
                             3000 * std::sin(2 * M_PI * 2300 * t) + noise(random);
            recording_[i] = static_cast<std::int16_t>(std::lrint(v));
        }
        test::WriteSound(File("in.wav"), {8000, 1, recording_}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }

    std::vector<std::int16_t> Filter(std::vector<std::string> options)
    {
        options.insert(options.begin(), "--quiet");
        options.push_back(File("in.wav").string());
        options.push_back(File("out.wav").string());
        const test::TProgramRun run = test::RunFilterProgram(options);
        EXPECT_EQ(run.ExitCode, 0) << run.Errors;
        return test::ReadSound(File("out.wav")).Samples;
    }

    // dB of the tone in the last 3 s of output against the recording's.
    double ToneChange(const std::vector<std::int16_t>& output, double frequency) const
    {
        const std::vector<std::int16_t> tail(output.end() - 3 * 8000, output.end());
        const std::vector<std::int16_t> input(recording_.end() - 3 * 8000, recording_.end());
        return 10 * std::log10(test::TonePower(tail, frequency, 8000) /
                               test::TonePower(input, frequency, 8000));
    }

    std::vector<std::int16_t> recording_;
};

TEST_F(FilterCleanupTest, NotchesTakeTheCarriersAndNoiseReductionTheNoise)
{
    const std::vector<std::int16_t> automatic = Filter({"--notch", "--nr", "2"});
    ASSERT_EQ(automatic.size(), recording_.size());
    EXPECT_LT(ToneChange(automatic, 1100), -30.0);
    EXPECT_LT(ToneChange(automatic, 2300), -30.0);
    EXPECT_NEAR(ToneChange(automatic, 700), 0.0, 1.0);
    // Between the tones only noise: the reduction takes it down.
    EXPECT_LT(ToneChange(automatic, 1600), -10.0);

    const std::vector<std::int16_t> manual = Filter({"--notch-at", "2300"});
    EXPECT_LT(ToneChange(manual, 2300), -30.0);
    EXPECT_NEAR(ToneChange(manual, 1100), 0.0, 0.5);

    // --bypass is Filter Off: all three out, the recording as it was.
    EXPECT_EQ(Filter({"--bypass", "--notch", "--nr", "3", "--notch-at", "700"}), recording_);
}

TEST_F(FilterCleanupTest, AlignTakesTheNoiseReductionsDelayOut)
{
    const std::vector<std::int16_t> aligned = Filter({"--align", "--nr", "1"});
    ASSERT_EQ(aligned.size(), recording_.size());
    // Below 1: the reduction takes noise away from the first sound on.
    const double atZero = test::Correlation(recording_, aligned, 0);
    EXPECT_GT(atZero, 0.8);
    for (int lag : {-64, -8, -1, 1, 8, 64})
        EXPECT_LT(test::Correlation(recording_, aligned, lag), atZero) << "lag " << lag;
}

} // namespace
} // namespace keb
