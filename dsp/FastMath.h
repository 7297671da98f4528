// Logarithm, exponential and sine/cosine in single precision for the
// spectral loops of the noise reducer, where the library functions (calls
// that handle every special case) cost more than the transforms around them.
//
// Contract: FastLog takes x > 0 and normal (no zero, infinity or NaN);
// FastExp |x| < 87 (where the result is a normal float); FastSinCos
// |x| < 1e4. Relative error of the log and the exponential about 1e-7,
// absolute error of sine and cosine about 1e-6: plain polynomials after a
// range reduction, inline and free of branches, so that the compiler can run
// a loop of them on vectors (Cleanup.cmake asks GCC to).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace keb
{

// x rounded to the nearest whole number, for |x| < 2^22 (adding and taking
// away 1.5 2^23 leaves no fraction bits), without a library call.
inline float RoundNearest(float x)
{
    constexpr float Shift = 12582912.0f;
    return (x + Shift) - Shift;
}

inline float FastLog(float x)
{
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh((m - 1) / (m + 1)).
    const auto bits = std::bit_cast<std::uint32_t>(x);
    const std::uint32_t shifted = bits - 0x3F3504F3u; // the bits of sqrt(1/2)
    const auto exponent = static_cast<float>(static_cast<std::int32_t>(shifted) >> 23);
    const float m = std::bit_cast<float>(bits - (shifted & 0xFF800000u));
    const float t = (m - 1.0f) / (m + 1.0f);
    const float t2 = t * t;
    const float series = 1.0f + t2 * (1.0f / 3 + t2 * (1.0f / 5 + t2 * (1.0f / 7 + t2 / 9)));
    return exponent * 0.69314718f + 2.0f * t * series;
}

inline float FastExp(float x)
{
    // e^x = 2^n e^r with |r| <= ln 2 / 2.
    const float n = RoundNearest(x * 1.44269504f);
    const float r = (x - n * 0.693359375f) + n * 2.12194442e-4f;
    const float p =
        1.0f +
        r * (1.0f +
             r * (0.5f + r * (1.0f / 6 + r * (1.0f / 24 + r * (1.0f / 120 + r * (1.0f / 720))))));
    const auto scale =
        std::bit_cast<float>(static_cast<std::uint32_t>(static_cast<int>(n) + 127) << 23);
    return p * scale;
}

// sin x and cos x at once.
inline void FastSinCos(float x, float& sine, float& cosine)
{
    // x = q pi/2 + r with |r| <= pi/4; the quadrant q rotates (sin r, cos r).
    const float q = RoundNearest(x * 0.636619772f);
    const float r = (x - q * 1.5703125f) - q * 4.83826792e-4f;
    const float r2 = r * r;
    const float s = r * (1.0f + r2 * (-1.0f / 6 + r2 * (1.0f / 120 + r2 * (-1.0f / 5040))));
    const float c =
        1.0f + r2 * (-0.5f + r2 * (1.0f / 24 + r2 * (-1.0f / 720 + r2 * (1.0f / 40320))));
    const int quadrant = static_cast<int>(q) & 3;
    const float swappedSine = (quadrant & 1) ? c : s;
    const float swappedCosine = (quadrant & 1) ? s : c;
    sine = (quadrant & 2) ? -swappedSine : swappedSine;
    cosine = ((quadrant + 1) & 2) ? -swappedCosine : swappedCosine;
}

} // namespace keb
