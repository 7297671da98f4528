// Part of the FFT kernels (MMFFTKernel.h): the scalar kernel, split-radix
// decimation in frequency, stage by stage with the index walk of Sorensen,
// Heideman and Burrus, so that it needs neither recursion nor scratch memory.
// A block of length n keeps its first half as a block of length n/2 and turns
// its last two quarters into blocks of length n/4; the walk visits every block
// of one length in turn.

#include "dsp/MMFFTKernel.h"

#include <cstring>

namespace keb::fft
{

namespace
{

// Calls visit(start) for every block of length `length` that the split-radix decomposition
// of a transform of `total` points produces.
template <class Visit> void ForEachBlock(int32_t total, int32_t length, Visit visit)
{
    for (int64_t first = 0, step = 2 * int64_t{length}; first < total;
         first = 2 * step - length, step *= 4)
    {
        for (int64_t start = first; start < total; start += step)
        {
            visit(static_cast<int32_t>(start));
        }
    }
}

// x[0] = a0 + a2, x[q] = a1 + a3, x[2q] = (t0 -+ i t1) W^j, x[3q] = (t0 +- i t1) W^3j with
// t0 = a0 - a2, t1 = a1 - a3; the sign of i and of the twiddles' angles flips for the inverse.
void SplitButterfly(float* x, int32_t quarter, bool inverse, const float* twiddle)
{
    float* p0 = x;
    float* p1 = x + 2 * quarter;
    float* p2 = x + 4 * quarter;
    float* p3 = x + 6 * quarter;
    float t0Re = p0[0] - p2[0];
    float t0Im = p0[1] - p2[1];
    float t1Re = p1[0] - p3[0];
    float t1Im = p1[1] - p3[1];
    p0[0] += p2[0];
    p0[1] += p2[1];
    p1[0] += p3[0];
    p1[1] += p3[1];
    float side = inverse ? -1.0f : 1.0f;
    float uRe = t0Re + side * t1Im;
    float uIm = t0Im - side * t1Re;
    float vRe = t0Re - side * t1Im;
    float vIm = t0Im + side * t1Re;
    if (twiddle == nullptr)
    {
        p2[0] = uRe;
        p2[1] = uIm;
        p3[0] = vRe;
        p3[1] = vIm;
        return;
    }
    float w1Re = twiddle[0];
    float w1Im = side * twiddle[1];
    float w3Re = twiddle[2];
    float w3Im = side * twiddle[3];
    p2[0] = uRe * w1Re - uIm * w1Im;
    p2[1] = uRe * w1Im + uIm * w1Re;
    p3[0] = vRe * w3Re - vIm * w3Im;
    p3[1] = vRe * w3Im + vIm * w3Re;
}

void ScalarTransform(const TCoreTables& tables, float* data, bool inverse, float scale)
{
    int32_t total = tables.N;
    for (int32_t length = total; length >= 8; length /= 2)
    {
        int32_t quarter = length / 4;
        int32_t stride = total / length;
        ForEachBlock(total, length,
                     [&](int32_t start)
                     {
                         float* block = data + 2 * start;
                         SplitButterfly(block, quarter, inverse, nullptr);
                         for (int32_t j = 1; j < quarter; ++j)
                         {
                             SplitButterfly(block + 2 * j, quarter, inverse,
                                            tables.Twiddles + 4 * (j * stride - 1));
                         }
                     });
    }
    if (total >= 4)
    {
        ForEachBlock(total, 4,
                     [&](int32_t start) { SplitButterfly(data + 2 * start, 1, inverse, nullptr); });
    }
    if (total >= 2)
    {
        ForEachBlock(total, 2,
                     [&](int32_t start)
                     {
                         float* x = data + 2 * start;
                         float re = x[0];
                         float im = x[1];
                         x[0] = re + x[2];
                         x[1] = im + x[3];
                         x[2] = re - x[2];
                         x[3] = im - x[3];
                     });
    }
    if (scale != 1.0f)
    {
        ScalarKernel.Scale(2 * total, scale, data);
    }
}

void ScalarMultiply(int count, float* a, const float* b)
{
    for (int k = 0; k < count; ++k)
    {
        float re = a[2 * k] * b[2 * k] - a[2 * k + 1] * b[2 * k + 1];
        float im = a[2 * k] * b[2 * k + 1] + a[2 * k + 1] * b[2 * k];
        a[2 * k] = re;
        a[2 * k + 1] = im;
    }
}

void ScalarScale(int count, float factor, float* data)
{
    for (int i = 0; i < count; ++i)
    {
        data[i] *= factor;
    }
}

} // namespace

void SwapReorder(const TCoreTables& tables, float* data)
{
    for (int32_t p = 0; p < tables.SwapCount; ++p)
    {
        float* a = data + 2 * tables.Swaps[2 * p];
        float* b = data + 2 * tables.Swaps[2 * p + 1];
        std::uint64_t valueA;
        std::uint64_t valueB;
        std::memcpy(&valueA, a, sizeof valueA);
        std::memcpy(&valueB, b, sizeof valueB);
        std::memcpy(a, &valueB, sizeof valueB);
        std::memcpy(b, &valueA, sizeof valueA);
    }
}

void SplitSpectrumFrom(int32_t first, int32_t half, const float* split, float* data)
{
    for (int32_t k = first; k <= half / 2; ++k)
    {
        float a = split[2 * (k - 1)];
        float b = split[2 * (k - 1) + 1];
        float* low = data + 2 * k;
        float* high = data + 2 * (half - k);
        float zRe = low[0];
        float zIm = low[1];
        float mRe = high[0];
        float mIm = high[1];
        float c = 1.0f - b;
        low[0] = zRe * b + zIm * a + mRe * c + mIm * a;
        low[1] = zIm * b - zRe * a - mIm * c + mRe * a;
        high[0] = mRe * b - mIm * a + zRe * c - zIm * a;
        high[1] = mIm * b + mRe * a - zIm * c - zRe * a;
    }
}

namespace
{

void ScalarSplitSpectrum(int32_t half, const float* split, float* data)
{
    data[0] += data[1];
    data[1] = 0.0f;
    SplitSpectrumFrom(1, half, split, data);
}

void ScalarTransformOrdered(const TCoreTables& tables, float* data, bool inverse, float scale)
{
    ScalarTransform(tables, data, inverse, scale);
    SwapReorder(tables, data);
}

void ScalarInverseScrambled(const TCoreTables& tables, float* data, float scale)
{
    SwapReorder(tables, data);
    ScalarTransform(tables, data, true, scale);
    SwapReorder(tables, data);
}

} // namespace

const TKernelOps ScalarKernel{
    ScalarTransform,     ScalarTransformOrdered, SwapReorder, ScalarInverseScrambled,
    ScalarSplitSpectrum, ScalarMultiply,         ScalarScale};

} // namespace keb::fft
