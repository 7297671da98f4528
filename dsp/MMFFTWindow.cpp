// Part of the FFT (MMFFT.h): the window functions and their tables.
#include "dsp/MMFFT.h"

#include <cmath>

namespace keb
{

float FFTWindowValue(int window, int index, int length)
{
    using TExtended = long double;
    if (length < 1)
    {
        return 1.0f;
    }
    TExtended n = index;
    TExtended size = length;
    TExtended angle = 2 * static_cast<TExtended>(M_PI) * n / size;
    TExtended u = 2 * n - size;
    TExtended d = u / (size + 1);
    TExtended value = 1;
    switch (window)
    {
    case fwHamming:
        value = TExtended{0.54} - TExtended{0.46} * std::cos(angle);
        break;
    case fwHanning:
        value = TExtended{0.5} - TExtended{0.5} * std::cos(angle);
        break;
    case fwBlackman:
        value = TExtended{0.42} - TExtended{0.5} * std::cos(angle) +
                TExtended{0.08} * std::cos(2 * angle);
        break;
    case fwGaussian:
        value = std::exp(-5 * u * u / (size * size));
        break;
    case fwWelch:
        value = 1 - d * d;
        break;
    case fwParzen:
        value = 1 - std::fabs(d);
        break;
    default:
        break;
    }
    return static_cast<float>(value);
}

void BuildFFTWindowTable(int32_t* table, int window, int order)
{
    if (table == nullptr || order < 0 || order > 30)
    {
        return;
    }
    int32_t length = int32_t{1} << order;
    for (int32_t i = 0; i < length; ++i)
    {
        double scaled = static_cast<double>(FFTWindowValue(window, i, length)) * 32767.0 + 0.5;
        table[i] = static_cast<int32_t>(std::floor(scaled));
    }
}

} // namespace keb
