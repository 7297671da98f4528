#include "dsp/MMFFTTables.h"

#include <cmath>

namespace keb::fft
{

namespace
{

using TExtended = long double;

struct TComplexValue
{
    TExtended Re;
    TExtended Im;
};

TComplexValue Times(TComplexValue a, TComplexValue b)
{
    return {a.Re * b.Re - a.Im * b.Im, a.Re * b.Im + a.Im * b.Re};
}

// W^exponent of the twiddle table of `length`, 0 <= exponent < length: the table holds
// W^1 .. W^(length/4); each further quarter turn is a rotation by -i.
TComplexValue TwiddlePower(const float* twiddles, int32_t length, int32_t exponent)
{
    int32_t quarter = length / 4;
    int32_t turns = 0;
    while (exponent > quarter)
    {
        exponent -= quarter;
        ++turns;
    }
    TComplexValue w{1, 0};
    if (exponent > 0)
    {
        w = {twiddles[4 * (exponent - 1)], twiddles[4 * (exponent - 1) + 1]};
    }
    for (; turns > 0; --turns)
    {
        w = {w.Im, -w.Re};
    }
    return w;
}

} // namespace

void FillBitReverse(int32_t* table, int order)
{
    int32_t count = int32_t{1} << order;
    for (int32_t i = 0; i < count; ++i)
    {
        int32_t reversed = 0;
        for (int bit = 0; bit < order; ++bit)
        {
            reversed |= ((i >> bit) & 1) << (order - 1 - bit);
        }
        table[i] = reversed;
    }
}

void FillTwiddles(float* table, int32_t length)
{
    if (length < 4)
    {
        return;
    }
    double theta = 2.0 * M_PI / length;
    TComplexValue step1{std::cos(static_cast<TExtended>(theta)),
                        -std::sin(static_cast<TExtended>(theta))};
    TComplexValue step3{std::cos(3 * static_cast<TExtended>(theta)),
                        -std::sin(3 * static_cast<TExtended>(theta))};
    TComplexValue w1 = step1;
    TComplexValue w3 = step3;
    for (int32_t j = 0; j < length / 4; ++j)
    {
        table[4 * j] = static_cast<float>(w1.Re);
        table[4 * j + 1] = static_cast<float>(w1.Im);
        table[4 * j + 2] = static_cast<float>(w3.Re);
        table[4 * j + 3] = static_cast<float>(w3.Im);
        w1 = Times(w1, step1);
        w3 = Times(w3, step3);
    }
}

void FillSplit(float* table, int32_t length)
{
    double phi = 2.0 * M_PI / length;
    TComplexValue step{std::cos(static_cast<TExtended>(phi)),
                       std::sin(static_cast<TExtended>(phi))};
    TComplexValue rotation = step;
    for (int32_t j = 0; j < length / 4; ++j)
    {
        table[2 * j] = static_cast<float>(rotation.Re / 2);
        table[2 * j + 1] = static_cast<float>(TExtended{0.5} - rotation.Im / 2);
        rotation = Times(rotation, step);
    }
}

namespace
{

// Whether the stages of `length` points start with a radix-2 stage (odd orders from 8 on).
bool StartsWithRadixTwo(int32_t length)
{
    int order = 0;
    while ((int32_t{1} << order) < length)
    {
        ++order;
    }
    return length >= 8 && order % 2 == 1;
}

// Writes `count` factors W^(step j) of the twiddle table of `length`, j = 0 .. count - 1:
// the real parts, each twice, at real[2j], the imaginary parts as (-im, +im) at imaginary[2j].
void FillFactors(float* real, float* imaginary, int32_t count, int32_t step, int32_t length,
                 const float* twiddles)
{
    for (int32_t j = 0; j < count; ++j)
    {
        TComplexValue w = TwiddlePower(twiddles, length, step * j);
        real[2 * j] = real[2 * j + 1] = static_cast<float>(w.Re);
        imaginary[2 * j] = static_cast<float>(-w.Im);
        imaginary[2 * j + 1] = static_cast<float>(w.Im);
    }
}

// Writes `count` factors W^(step j) of the twiddle table of `length`, j = 0 .. count - 1
// (count a multiple of four), in groups of four: the real parts, then the imaginary parts,
// a group every `groupFloats` floats.
void FillSplitFactors(float* groups, int32_t count, int32_t step, int32_t groupFloats,
                      int32_t length, const float* twiddles)
{
    for (int32_t j = 0; j < count; ++j)
    {
        TComplexValue w = TwiddlePower(twiddles, length, step * j);
        float* group = groups + (j / 4) * groupFloats + j % 4;
        group[0] = static_cast<float>(w.Re);
        group[4] = static_cast<float>(w.Im);
    }
}

} // namespace

std::size_t SplitStageTwiddleFloats(int32_t length)
{
    std::size_t floats = 0;
    int32_t n = length;
    if (StartsWithRadixTwo(length))
    {
        floats += static_cast<std::size_t>(n);
        n /= 2;
    }
    for (; n >= 16; n /= 4)
    {
        floats += 3 * static_cast<std::size_t>(n) / 2;
    }
    return floats;
}

std::size_t StageTwiddleFloats(int32_t length)
{
    return 2 * SplitStageTwiddleFloats(length);
}

void FillStageTwiddles(float* stages, int32_t length, const float* twiddles)
{
    int32_t n = length;
    if (StartsWithRadixTwo(length))
    {
        FillFactors(stages, stages + n, n / 2, 1, length, twiddles);
        stages += 2 * n;
        n /= 2;
    }
    for (; n >= 16; n /= 4)
    {
        int32_t quarter = n / 4;
        for (int factor = 1; factor <= 3; ++factor)
        {
            float* real = stages + (factor - 1) * 4 * quarter;
            FillFactors(real, real + 2 * quarter, quarter, factor * (length / n), length, twiddles);
        }
        stages += 3 * n;
    }
}

void FillSplitStageTwiddles(float* stages, int32_t length, const float* twiddles)
{
    int32_t n = length;
    if (StartsWithRadixTwo(length))
    {
        FillSplitFactors(stages, n / 2, 1, 8, length, twiddles);
        stages += n;
        n /= 2;
    }
    for (; n >= 16; n /= 4)
    {
        for (int factor = 1; factor <= 3; ++factor)
        {
            FillSplitFactors(stages + 8 * (factor - 1), n / 4, factor * (length / n), 24, length,
                             twiddles);
        }
        stages += 3 * n / 2;
    }
}

} // namespace keb::fft
