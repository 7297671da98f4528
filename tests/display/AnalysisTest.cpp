// The waterfall's analysis: sample series, overflow, pre-emphasis, window,
// scaling and colour values, checked against values worked out from the
// formulas (an independent double-precision DFT where a transform is needed).
#include "display/MMSpGramAnalysis.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace keb
{
namespace
{

std::vector<std::uint8_t> Block16(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

// The program's setting: 16-bit mono, N 256, linear, AmplitudeScale 50.
void ProgramSettings(TMMSpectrogramAnalysis& analysis)
{
    analysis.SetBitLength(b16Bit);
    analysis.SetFFTLength(256);
    analysis.SetAmplitudeScale(50);
}

int OverflowsOf(TMMSpectrogramAnalysis& analysis, const std::vector<std::uint8_t>& block)
{
    int count = 0;
    analysis.Analyse(block.data(), [&] { ++count; });
    return count;
}

TEST(SpectrogramAnalysisSettings, ClampsAndBlockBytes)
{
    TMMSpectrogramAnalysis analysis;
    EXPECT_EQ(analysis.FFTLength(), 128);
    analysis.SetFFTLength(300);
    EXPECT_EQ(analysis.FFTLength(), 256);
    analysis.SetFFTLength(5);
    EXPECT_EQ(analysis.FFTLength(), 8);
    analysis.SetFFTLength(10000);
    EXPECT_EQ(analysis.FFTLength(), 4096);
    analysis.SetAmplitudeScale(2000);
    EXPECT_EQ(analysis.AmplitudeScale(), 1000);
    analysis.SetAmplitudeScale(-3);
    EXPECT_EQ(analysis.AmplitudeScale(), 0);
    analysis.SetAmplitudeScale(50);
    EXPECT_FLOAT_EQ(analysis.AmplitudeFactor(), 0.5f);
    analysis.SetSensitivy(0);
    EXPECT_EQ(analysis.Sensitivy(), -9);
    analysis.SetSensitivy(-200);
    EXPECT_EQ(analysis.Sensitivy(), -90);

    analysis.SetFFTLength(256);
    EXPECT_EQ(analysis.BlockBytes(), 256);
    analysis.SetBitLength(b16Bit);
    analysis.SetMode(mStereo);
    EXPECT_EQ(analysis.BlockBytes(), 1024);
    analysis.SetMode(mQuadro);
    EXPECT_EQ(analysis.Mode(), mStereo) << "mQuadro is ignored";
}

TEST(SpectrogramAnalysisValues, SilenceGivesTheLowestColourOnBothScales)
{
    TMMSpectrogramAnalysis analysis;
    ProgramSettings(analysis);
    const auto silence = Block16(std::vector<std::int16_t>(256, 0));
    for (bool logarithmic : {false, true})
    {
        analysis.SetLogAmp(logarithmic);
        EXPECT_EQ(OverflowsOf(analysis, silence), 0);
        for (int k = 0; k < analysis.Bins(); ++k)
            ASSERT_EQ(analysis.ColourValues()[k], 10) << "bin " << k << " log " << logarithmic;
    }

    analysis.SetBitLength(b8Bit);
    analysis.SetLogAmp(false);
    const std::vector<std::uint8_t> silence8(256, 128);
    analysis.Analyse(silence8.data(), {});
    for (int k = 0; k < analysis.Bins(); ++k)
        ASSERT_EQ(analysis.ColourValues()[k], 10) << "8-bit bin " << k;
}

TEST(SpectrogramAnalysisValues, DirectCurrentFollowsTheScaleFormulas)
{
    // A constant 51 through the rectangular window (table value 32767) gives
    // 51 * 32767 div 32768 = 50 per sample, a DC bin of 50 * N, scaled by
    // N div 2 to 100: sqrt(P) = 100.
    TMMSpectrogramAnalysis analysis;
    ProgramSettings(analysis);
    analysis.SetWindow(fwRectangular);
    const auto block = Block16(std::vector<std::int16_t>(256, 51));

    analysis.Analyse(block.data(), {});
    EXPECT_EQ(analysis.Spectrum()[0], 100);
    EXPECT_EQ(analysis.ColourValues()[0], 60) << "10 + 100 * 0.5";
    EXPECT_EQ(analysis.ColourValues()[5], 10);

    analysis.SetSensitivy(-50);
    analysis.Analyse(block.data(), {});
    EXPECT_EQ(analysis.ColourValues()[0], 20) << "10 + trunc(50 - 90 + 50)";

    analysis.SetLogAmp(true);
    analysis.Analyse(block.data(), {});
    // ln 10000 * 20 * 0.5 = 92.10; 2 * (-90 + 50) = -80.
    EXPECT_EQ(analysis.ColourValues()[0], 22);
    analysis.SetSensitivy(-90);
    analysis.Analyse(block.data(), {});
    EXPECT_EQ(analysis.ColourValues()[0], 102);
}

// Every scale 0 .. 1000 on a DC bin of amplitude 100: the factor is the
// scale times 0.01 worked out in double precision and kept as one single
// float, so the colour is 10 + trunc(100 x that float) -- the scale itself
// wherever the float lands on or above the decimal value.
TEST(SpectrogramAnalysisValues, EveryAmplitudeScaleGivesTheColourOfItsFactor)
{
    TMMSpectrogramAnalysis analysis;
    ProgramSettings(analysis);
    analysis.SetWindow(fwRectangular);
    analysis.SetSensitivy(-90);
    const auto block = Block16(std::vector<std::int16_t>(256, 51));
    for (int scale = 0; scale <= 1000; ++scale)
    {
        analysis.SetAmplitudeScale(scale);
        analysis.Analyse(block.data(), {});
        const double factor = static_cast<float>(scale * 0.01);
        ASSERT_EQ(analysis.ColourValues()[0], 10 + static_cast<int>(std::trunc(100.0 * factor)))
            << "scale " << scale;
        ASSERT_EQ(analysis.AmplitudeScale(), scale);
    }
    for (int scale : {5, 10, 20, 30, 40, 60, 80, 99})
    {
        analysis.SetAmplitudeScale(scale);
        analysis.Analyse(block.data(), {});
        EXPECT_EQ(analysis.ColourValues()[0], 10 + scale) << "scale " << scale;
    }
}

TEST(SpectrogramAnalysisValues, HammingToneMatchesAReferenceTransform)
{
    constexpr int N = 256;
    TMMSpectrogramAnalysis analysis;
    ProgramSettings(analysis);
    std::vector<std::int16_t> samples(N);
    for (int i = 0; i < N; ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(
            9000 * std::sin(2 * std::numbers::pi * 32.3 * i / N) + 300 * ((i * 7) % 5 - 2)));
    const auto block = Block16(samples);
    analysis.Analyse(block.data(), {});

    // Reference: the periodic Hamming window as integers, 64-bit products,
    // a double DFT and the linear colour formula.
    std::vector<double> windowed(N);
    for (int i = 0; i < N; ++i)
    {
        const auto w = static_cast<std::int64_t>(
            std::floor((0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / N)) * 32767 + 0.5));
        windowed[i] = static_cast<double>(samples[i] * w / 32768);
    }
    int loudest = 0;
    for (int k = 0; k < N / 2; ++k)
    {
        double re = 0;
        double im = 0;
        for (int i = 0; i < N; ++i)
        {
            re += windowed[i] * std::cos(2 * std::numbers::pi * k * i / N);
            im -= windowed[i] * std::sin(2 * std::numbers::pi * k * i / N);
        }
        const double scaledRe = std::trunc(re / (N / 2));
        const double scaledIm = std::trunc(im / (N / 2));
        const int expected =
            static_cast<int>(std::sqrt(scaledRe * scaledRe + scaledIm * scaledIm) * 0.5) + 10;
        EXPECT_NEAR(analysis.ColourValues()[k], expected, 1) << "bin " << k;
        if (analysis.ColourValues()[k] > analysis.ColourValues()[loudest])
            loudest = k;
    }
    EXPECT_EQ(loudest, 32);
}

TEST(SpectrogramAnalysisOverflow, FullScaleSamplesFireOncePerSample)
{
    TMMSpectrogramAnalysis analysis;
    ProgramSettings(analysis);
    std::vector<std::int16_t> samples(256, 0);
    samples[3] = 32767;
    samples[100] = 32767;
    samples[7] = -32768;
    EXPECT_EQ(OverflowsOf(analysis, Block16(samples)), 2);
    samples[3] = 32766;
    EXPECT_EQ(OverflowsOf(analysis, Block16(samples)), 1);

    analysis.SetBitLength(b8Bit);
    std::vector<std::uint8_t> bytes(256, 128);
    bytes[0] = 255;
    bytes[1] = 0;
    EXPECT_EQ(OverflowsOf(analysis, bytes), 1);

    // The average of two channels counts from 32766, except with sgr12db.
    analysis.SetBitLength(b16Bit);
    analysis.SetMode(mStereo);
    std::vector<std::int16_t> stereo(512, 0);
    stereo[0] = 32767;
    stereo[1] = 32765; // average 32766
    EXPECT_EQ(OverflowsOf(analysis, Block16(stereo)), 1);
    analysis.SetGain(sgr12db);
    EXPECT_EQ(OverflowsOf(analysis, Block16(stereo)), 0);
    analysis.SetGain(sgrNone);
    analysis.SetChannel(chRight);
    EXPECT_EQ(OverflowsOf(analysis, Block16(stereo)), 0);
    analysis.SetChannel(chLeft);
    EXPECT_EQ(OverflowsOf(analysis, Block16(stereo)), 1);
}

TEST(SpectrogramAnalysisSeries, ChannelsAndPreEmphasis)
{
    // DC bins with the rectangular window: per sample v * 32767 div 32768
    // (16 bits) or v * 32767 div 128 (8 bits); the bin is their sum div (N/2).
    TMMSpectrogramAnalysis analysis;
    analysis.SetFFTLength(256);
    analysis.SetWindow(fwRectangular);
    analysis.SetMode(mStereo);
    std::vector<std::uint8_t> bytes(512);
    for (int i = 0; i < 256; ++i)
    {
        bytes[2 * i] = 228;     // left: +100
        bytes[2 * i + 1] = 138; // right: +10
    }
    analysis.SetChannel(chRight);
    analysis.Analyse(bytes.data(), {});
    EXPECT_EQ(analysis.Spectrum()[0], 2 * (10 * 32767 / 128));
    analysis.SetChannel(chBoth); // (228 + 138) / 2 = 183: +55
    analysis.Analyse(bytes.data(), {});
    EXPECT_EQ(analysis.Spectrum()[0], 2 * (55 * 32767 / 128));

    // An impulse of 10000 at sample 1, seen in bin N/4 (cos = 0, -1, 0 and
    // sin = 1, 0, -1 at samples 1, 2, 3): each sample v * 32767 div 32768.
    analysis.SetMode(mMono);
    analysis.SetBitLength(b16Bit);
    std::vector<std::int16_t> impulse(256, 0);
    impulse[1] = 10000;
    const auto block = Block16(impulse);
    struct
    {
        TMMSpectrogramGain Gain;
        int Re;
        int Im;
    } const cases[] = {
        {sgrNone, 0, -9999 / 128},         // 10000 at 1
        {sgr6db, 9999 / 128, -9999 / 128}, // 10000, -10000 at 1, 2
        {sgr12db, 19999 / 128, 0},         // 10000, -20000, 10000 at 1, 2, 3
    };
    for (const auto& c : cases)
    {
        analysis.SetGain(c.Gain);
        analysis.Analyse(block.data(), {});
        EXPECT_EQ(analysis.Spectrum()[128], c.Re) << "gain " << c.Gain;
        EXPECT_EQ(analysis.Spectrum()[129], c.Im) << "gain " << c.Gain;
    }
}

TEST(SpectrogramAnalysisValues, FullScaleNeitherWrapsNorTurnsBlack)
{
    // A full-scale constant gives a DC of about 2 x 32767: beyond 16 bits.
    // It is held at 32767 instead of wrapping to a small negative value.
    TMMSpectrogramAnalysis analysis;
    ProgramSettings(analysis);
    analysis.SetWindow(fwRectangular);
    analysis.Analyse(Block16(std::vector<std::int16_t>(256, -32768)).data(), {});
    EXPECT_EQ(analysis.Spectrum()[0], -32768);
    EXPECT_EQ(analysis.ColourValues()[0], static_cast<int>(32768 * 0.5) + 10);
    analysis.Analyse(Block16(std::vector<std::int16_t>(256, 32767)).data(), {});
    EXPECT_EQ(analysis.Spectrum()[0], 32767);
    EXPECT_GT(analysis.ColourValues()[0], 245);

    // The second difference doubles bin N/4 and turns it by 90 degrees: an
    // input at 135 degrees comes out at 225, with re and im both held at
    // -32768, so P = 2^31, one past the 32-bit range.
    analysis.SetGain(sgr12db);
    std::vector<std::int16_t> tone(256);
    for (int i = 0; i < 256; ++i)
        tone[i] = static_cast<std::int16_t>(
            std::lround(32000 * std::cos(std::numbers::pi * (i / 2.0 + 0.75))));
    analysis.Analyse(Block16(tone).data(), {});
    EXPECT_EQ(analysis.Spectrum()[128], -32768);
    EXPECT_EQ(analysis.Spectrum()[129], -32768);
    EXPECT_EQ(analysis.ColourValues()[64], static_cast<int>(std::sqrt(2147483648.0) * 0.5) + 10);
}

} // namespace
} // namespace keb
