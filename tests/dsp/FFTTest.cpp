#include "FFTTestSupport.h"
#include "dsp/MMFFTConvolve.h"

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace keb::test
{
namespace
{

using TSpectrum = std::vector<std::complex<double>>;

// Direct DFT in double precision; sign -1 forward, +1 inverse (unscaled).
TSpectrum ReferenceDFT(const TSpectrum& input, int sign)
{
    std::size_t n = input.size();
    TSpectrum output(n);
    for (std::size_t k = 0; k < n; ++k)
    {
        std::complex<double> sum = 0;
        for (std::size_t t = 0; t < n; ++t)
        {
            double angle =
                sign * 2.0 * M_PI * static_cast<double>((k * t) % n) / static_cast<double>(n);
            sum += input[t] * std::complex<double>(std::cos(angle), std::sin(angle));
        }
        output[k] = sum;
    }
    return output;
}

std::vector<float> RandomFloats(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-1.0f, 1.0f);
    std::vector<float> values(count);
    for (float& v : values)
    {
        v = distribution(generator);
    }
    return values;
}

// Largest deviation between the computed values and the reference, relative to the
// reference's peak magnitude.
double RelativeError(const std::vector<float>& computed, const TSpectrum& reference,
                     std::size_t count)
{
    double peak = 0;
    double error = 0;
    for (std::size_t k = 0; k < count; ++k)
    {
        peak = std::max(peak, std::abs(reference[k]));
        std::complex<double> value(computed[2 * k], computed[2 * k + 1]);
        error = std::max(error, std::abs(value - reference[k]));
    }
    return error / peak;
}

TSpectrum AsComplex(const std::vector<float>& interleaved)
{
    TSpectrum values(interleaved.size() / 2);
    for (std::size_t k = 0; k < values.size(); ++k)
    {
        values[k] = {interleaved[2 * k], interleaved[2 * k + 1]};
    }
    return values;
}

class TransformTest : public KernelTest
{
};

TEST_P(TransformTest, EveryLengthAgreesWithTheDirectTransform)
{
    for (int order = 1; order <= 12; ++order)
    {
        SCOPED_TRACE("order " + std::to_string(order));
        TComplexFFTPlan* plan = InitComplexFFT(order);
        ASSERT_NE(plan, nullptr);
        std::size_t n = static_cast<std::size_t>(plan->N);
        std::vector<float> input = RandomFloats(2 * n, order);
        TSpectrum expected = ReferenceDFT(AsComplex(input), -1);

        std::vector<float> forward = input;
        ComplexFFT(plan, forward.data(), 1);
        EXPECT_LT(RelativeError(forward, expected, n), 1e-5);

        std::vector<float> inverse = input;
        ComplexFFT(plan, inverse.data(), -1);
        TSpectrum expectedInverse = ReferenceDFT(AsComplex(input), 1);
        for (auto& v : expectedInverse)
        {
            v /= static_cast<double>(n);
        }
        EXPECT_LT(RelativeError(inverse, expectedInverse, n), 1e-5);
        DoneComplexFFT(plan);
    }
}

// Lengths beyond the direct transform's reach, where the vector kernels split blocks too
// large for the cache (and odd orders start with a radix-2 stage): a sum of tones at whole
// bins must come out as those bins alone, and go back to the tones.
TEST_P(TransformTest, LongTransformsResolveWholeBinTones)
{
    struct TTone
    {
        std::size_t Bin;
        std::complex<double> Amplitude;
    };
    for (int order = 13; order <= 14; ++order)
    {
        SCOPED_TRACE("order " + std::to_string(order));
        TComplexFFTPlan* plan = InitComplexFFT(order);
        ASSERT_NE(plan, nullptr);
        std::size_t n = static_cast<std::size_t>(plan->N);
        const TTone tones[] = {{1, {0.5, -0.25}},
                               {n / 3, {-0.75, 0.5}},
                               {n / 2 + 7, {0.25, 1.0}},
                               {n - 5, {-0.5, -0.5}}};
        TSpectrum signal(n);
        TSpectrum expected(n);
        for (const TTone& tone : tones)
        {
            expected[tone.Bin] = tone.Amplitude * static_cast<double>(n);
            for (std::size_t t = 0; t < n; ++t)
            {
                double angle =
                    2.0 * M_PI * static_cast<double>((tone.Bin * t) % n) / static_cast<double>(n);
                signal[t] +=
                    tone.Amplitude * std::complex<double>(std::cos(angle), std::sin(angle));
            }
        }
        std::vector<float> data(2 * n);
        for (std::size_t t = 0; t < n; ++t)
        {
            data[2 * t] = static_cast<float>(signal[t].real());
            data[2 * t + 1] = static_cast<float>(signal[t].imag());
        }
        ComplexFFT(plan, data.data(), 1);
        EXPECT_LT(RelativeError(data, expected, n), 1e-5);
        ComplexFFT(plan, data.data(), -1);
        EXPECT_LT(RelativeError(data, signal, n), 1e-5);
        DoneComplexFFT(plan);
    }
}

TEST_P(TransformTest, RealTransformGivesThePackedHalfSpectrum)
{
    for (int order = 1; order <= 12; ++order)
    {
        SCOPED_TRACE("order " + std::to_string(order));
        TRealFFTPlan* plan = InitRealFFT(order);
        ASSERT_NE(plan, nullptr);
        std::size_t n = static_cast<std::size_t>(plan->N);
        std::vector<float> input = RandomFloats(n, 100 + order);
        TSpectrum asComplex(input.begin(), input.end());
        TSpectrum expected = ReferenceDFT(asComplex, -1);
        expected[0] = expected[0].real(); // packed: x[0] = X[0], x[1] = 0
        expected.resize(n / 2);

        std::vector<float> data = input;
        RealFFT(plan, data.data(), 1);
        EXPECT_EQ(data[1], 0.0f);
        EXPECT_LT(RelativeError(data, expected, n / 2), 1e-5);
        DoneRealFFT(plan);
    }
}

TEST_P(TransformTest, ImpulseGoesToOnesAndBack)
{
    TComplexFFTPlan* plan = InitComplexFFT(8);
    std::vector<float> data(2 * 256, 0.0f);
    data[0] = 1.0f;
    ComplexFFT(plan, data.data(), 1);
    for (int k = 0; k < 256; ++k)
    {
        EXPECT_FLOAT_EQ(data[2 * k], 1.0f);
        EXPECT_FLOAT_EQ(data[2 * k + 1] + 1.0f, 1.0f);
    }
    ComplexFFT(plan, data.data(), -1);
    EXPECT_FLOAT_EQ(data[0], 1.0f);
    for (int k = 1; k < 512; ++k)
    {
        EXPECT_NEAR(data[k], 0.0f, 1e-6f) << k;
    }
    DoneComplexFFT(plan);
}

TEST_P(TransformTest, DirectionCodesPickScalingAndSign)
{
    TComplexFFTPlan* plan = InitComplexFFT(6);
    std::vector<float> input = RandomFloats(128, 7);
    std::vector<float> forward = input;
    ComplexFFT(plan, forward.data(), 1);
    std::vector<float> zero = input;
    ComplexFFT(plan, zero.data(), 0);
    std::vector<float> scaled = input;
    ComplexFFT(plan, scaled.data(), -2);
    std::vector<float> inverse = input;
    ComplexFFT(plan, inverse.data(), -1);
    for (std::size_t i = 0; i < input.size(); ++i)
    {
        EXPECT_EQ(zero[i], forward[i]);
        EXPECT_EQ(scaled[i], forward[i] * plan->InvN);
    }
    // The inverse of a conjugated input is the conjugated forward transform over N.
    std::vector<float> conjugated = input;
    for (std::size_t i = 1; i < conjugated.size(); i += 2)
    {
        conjugated[i] = -conjugated[i];
    }
    ComplexFFT(plan, conjugated.data(), -1);
    for (std::size_t i = 0; i < input.size(); i += 2)
    {
        EXPECT_NEAR(conjugated[i], forward[i] / 64, 1e-6);
        EXPECT_NEAR(conjugated[i + 1], -forward[i + 1] / 64, 1e-6);
    }
    DoneComplexFFT(plan);
}

TEST_P(TransformTest, RealTransformOfConstantAndCosines)
{
    TRealFFTPlan* plan = InitRealFFT(5);
    const int n = 32;
    std::vector<float> data(n, 0.75f);
    RealFFT(plan, data.data(), 1);
    EXPECT_FLOAT_EQ(data[0], n * 0.75f);
    for (int i = 1; i < n; ++i)
    {
        EXPECT_NEAR(data[i], 0.0f, 1e-5f) << i;
    }
    for (int k0 = 1; k0 <= n / 2; ++k0)
    {
        SCOPED_TRACE("k0 " + std::to_string(k0));
        for (int t = 0; t < n; ++t)
        {
            data[t] = static_cast<float>(std::cos(2 * M_PI * k0 * t / n));
        }
        RealFFT(plan, data.data(), 1);
        for (int k = 0; k < n / 2; ++k)
        {
            float expected =
                (k == k0) ? n / 2.0f : 0.0f; // k0 = N/2 lands in the dropped Nyquist bin
            EXPECT_NEAR(data[2 * k], expected, 1e-4f) << k;
            EXPECT_NEAR(data[2 * k + 1], 0.0f, 1e-4f) << k;
        }
    }
    DoneRealFFT(plan);
}

TEST_P(TransformTest, ArrayHelpersCoverEveryRemainder)
{
    for (int count = 1; count <= 19; ++count)
    {
        std::vector<float> a = RandomFloats(2 * count, count);
        std::vector<float> b = RandomFloats(2 * count, 50 + count);
        std::vector<float> product = a;
        MultiplyComplex(count, product.data(), b.data());
        std::vector<float> scaled = a;
        ScaleFloats(2 * count - 1, 3.0f, scaled.data());
        for (int k = 0; k < count; ++k)
        {
            std::complex<float> expected = std::complex<float>(a[2 * k], a[2 * k + 1]) *
                                           std::complex<float>(b[2 * k], b[2 * k + 1]);
            EXPECT_NEAR(product[2 * k], expected.real(), 1e-6f);
            EXPECT_NEAR(product[2 * k + 1], expected.imag(), 1e-6f);
        }
        for (int i = 0; i < 2 * count - 1; ++i)
        {
            EXPECT_EQ(scaled[i], a[i] * 3.0f);
        }
        EXPECT_EQ(scaled[2 * count - 1], a[2 * count - 1]);
    }
}

TEST_P(TransformTest, CyclicConvolutionMatchesTheNaturalOrderPath)
{
    for (int order = 1; order <= 12; ++order)
    {
        SCOPED_TRACE("order " + std::to_string(order));
        TComplexFFTPlan* plan = InitComplexFFT(order);
        std::size_t n = static_cast<std::size_t>(plan->N);
        std::vector<float> input = RandomFloats(2 * n, 200 + order);
        std::vector<float> response = RandomFloats(2 * n, 300 + order);
        std::vector<float> expected = input;
        ComplexFFT(plan, expected.data(), 1);
        MultiplyComplex(plan->N, expected.data(), response.data());
        ComplexFFT(plan, expected.data(), -1);
        std::vector<float> scrambled(2 * n);
        ScrambleSpectrum(plan, response.data(), scrambled.data());
        std::vector<float> convolved = input;
        ConvolveCyclic(plan, convolved.data(), scrambled.data());
        EXPECT_LT(RelativeError(convolved, AsComplex(expected), n), 1e-5);
        DoneComplexFFT(plan);
    }
}

KEB_INSTANTIATE_FOR_KERNELS(TransformTest);

TEST(FFTPlan, OrdersOutsideTheRangeGiveNoPlan)
{
    for (int order : {-5, 0, 31, 32, 40})
    {
        EXPECT_EQ(InitComplexFFT(order), nullptr) << order;
        EXPECT_EQ(InitRealFFT(order), nullptr) << order;
    }
    TComplexFFTPlan* plan = InitComplexFFT(1);
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->N, 2);
    EXPECT_EQ(plan->InvN, 0.5f);
    float pair[4] = {1.0f, 2.0f, 3.0f, 5.0f};
    ComplexFFT(plan, pair, 1);
    EXPECT_EQ(pair[0], 4.0f);
    EXPECT_EQ(pair[1], 7.0f);
    EXPECT_EQ(pair[2], -2.0f);
    EXPECT_EQ(pair[3], -3.0f);
    DoneComplexFFT(plan);
    EXPECT_EQ(plan, nullptr);
    DoneComplexFFT(plan);
}

TEST(FFTPlan, MissingPlanOrArrayLeavesMemoryAlone)
{
    std::vector<float> data = {1, 2, 3, 4};
    ComplexFFT(nullptr, data.data(), 1);
    RealFFT(nullptr, data.data(), 1);
    ScaleFloats(4, 2.0f, nullptr);
    ScaleFloats(0, 2.0f, data.data());
    MultiplyComplex(-1, data.data(), data.data());
    MultiplyComplex(2, data.data(), nullptr);
    EXPECT_EQ(data, (std::vector<float>{1, 2, 3, 4}));
    TComplexFFTPlan* plan = InitComplexFFT(2);
    TRealFFTPlan* realPlan = InitRealFFT(2);
    ComplexFFT(plan, nullptr, 1);
    RealFFT(realPlan, nullptr, 1);
    DoneComplexFFT(plan);
    DoneRealFFT(realPlan);
    EXPECT_EQ(realPlan, nullptr);
}

TEST(FFTPlan, TablesFollowTheirDefinitions)
{
    TComplexFFTPlan* plan = InitComplexFFT(4);
    std::vector<int32_t> reversed(plan->BitReverse, plan->BitReverse + 16);
    EXPECT_EQ(reversed,
              (std::vector<int32_t>{0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15}));
    DoneComplexFFT(plan);

    plan = InitComplexFFT(10);
    const int n = 1024;
    for (int j = 0; j < n / 4; ++j)
    {
        double angle = 2 * M_PI * (j + 1) / n;
        EXPECT_NEAR(plan->Twiddles[4 * j], std::cos(angle), 1e-7);
        EXPECT_NEAR(plan->Twiddles[4 * j + 1], -std::sin(angle), 1e-7);
        EXPECT_NEAR(plan->Twiddles[4 * j + 2], std::cos(3 * angle), 1e-7);
        EXPECT_NEAR(plan->Twiddles[4 * j + 3], -std::sin(3 * angle), 1e-7);
    }
    EXPECT_NEAR(plan->Twiddles[4 * 255], 0.0, 1e-7);
    EXPECT_FLOAT_EQ(plan->Twiddles[4 * 255 + 1], -1.0f);
    EXPECT_FLOAT_EQ(plan->Twiddles[4 * 255 + 3], 1.0f);
    DoneComplexFFT(plan);

    TRealFFTPlan* realPlan = InitRealFFT(9);
    EXPECT_EQ(realPlan->N, 512);
    EXPECT_EQ(realPlan->BitReverse[1], 128);
    for (int j = 0; j < 128; ++j)
    {
        double angle = 2 * M_PI * (j + 1) / 512;
        EXPECT_NEAR(realPlan->Split[2 * j], 0.5 * std::cos(angle), 1e-7);
        EXPECT_NEAR(realPlan->Split[2 * j + 1], 0.5 - 0.5 * std::sin(angle), 1e-7);
    }
    for (int j = 0; j < 64; ++j) // the twiddle table of the half-length complex transform
    {
        EXPECT_NEAR(realPlan->Twiddles[4 * j], std::cos(2 * M_PI * (j + 1) / 256), 1e-7);
        EXPECT_NEAR(realPlan->Twiddles[4 * j + 1], -std::sin(2 * M_PI * (j + 1) / 256), 1e-7);
    }
    DoneRealFFT(realPlan);
}

} // namespace
} // namespace keb::test
