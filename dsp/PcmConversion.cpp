#include "dsp/PcmConversion.h"

#include "dsp/MMFFTVectorTypes.h"

#include <algorithm>

namespace keb
{
namespace
{

using TShort4 = std::int16_t __attribute__((vector_size(8)));
using TShort8 = std::int16_t __attribute__((vector_size(16)));

// Samples first .. first + 3 of eight, sign-extended: each doubled sample read
// as a 32-bit value and shifted down arithmetically (no widening conversion
// in SSE2 that the compiler would find for a plain conversion).
template <int First> TInt4 Widened(TShort8 samples)
{
    const TShort8 doubled =
        __builtin_shufflevector(samples, samples, First, First, First + 1, First + 1, First + 2,
                                First + 2, First + 3, First + 3);
    TInt4 values;
    std::memcpy(&values, &doubled, sizeof values);
    return values >> 16;
}

template <int First> TFloat4 WidenedToFloat(TShort8 samples)
{
    return __builtin_convertvector(Widened<First>(samples), TFloat4);
}

// RoundToPcm16 on four values.
TShort4 RoundToPcm16(TFloat4 values)
{
    const TFloat4 low = TFloat4{} - 32768.0f;
    const TFloat4 high = TFloat4{} + 32767.0f;
    const TFloat4 shift = TFloat4{} + 12582912.0f; // RoundNearest's 1.5 x 2^23
    TFloat4 clipped = values > low ? values : low;
    clipped = clipped < high ? clipped : high;
    return __builtin_convertvector(__builtin_convertvector((clipped + shift) - shift, TInt4),
                                   TShort4);
}

} // namespace

void RoundToPcm16(const float* values, std::size_t count, float scale, std::int16_t* samples)
{
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        Store(samples + i, RoundToPcm16(Load<TFloat4>(values + i) * scale));
    for (; i < count; ++i)
        samples[i] = RoundToPcm16(values[i] * scale);
}

void Pcm16ToFloat(const std::int16_t* samples, std::size_t count, float scale, float* values)
{
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const auto eight = Load<TShort8>(samples + i);
        Store(values + i, WidenedToFloat<0>(eight) * scale);
        Store(values + i + 4, WidenedToFloat<4>(eight) * scale);
    }
    for (; i < count; ++i)
        values[i] = static_cast<float>(samples[i]) * scale;
}

} // namespace keb
