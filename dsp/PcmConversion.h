// Conversions between 16-bit PCM samples and floats, a block at a time on
// vectors, for the paths that move every sample (the sample processors, the
// offline tool's reading and writing).
//
// Float to 16 bits rounds value x scale to the nearest whole number (halves
// to the even one, as nearbyint in the default rounding mode) and clips it
// to -32768 .. 32767; NaN gives -32768. The block and the single-value forms
// give the same result for every value. The scale is a power of two (1, or
// 32768 for floats in -1 .. 1), so scaling itself never rounds.
// Plain functions without state; any thread.
#pragma once

#include "dsp/FastMath.h"

#include <cstddef>
#include <cstdint>

namespace keb
{

inline std::int16_t RoundToPcm16(float value)
{
    // Clipped first, the value lies where RoundNearest is exact; clipping
    // before rounding gives what rounding before clipping would.
    float clipped = value > -32768.0f ? value : -32768.0f;
    clipped = clipped < 32767.0f ? clipped : 32767.0f;
    return static_cast<std::int16_t>(RoundNearest(clipped));
}

// samples[i] = RoundToPcm16(values[i] * scale) for i < count.
void RoundToPcm16(const float* values, std::size_t count, float scale, std::int16_t* samples);
// values[i] = samples[i] * scale for i < count.
void Pcm16ToFloat(const std::int16_t* samples, std::size_t count, float scale, float* values);

} // namespace keb
