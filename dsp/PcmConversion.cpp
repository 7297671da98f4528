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

// The low halves of eight 32-bit values that fit in 16 bits.
TShort8 Narrowed(TInt4 low, TInt4 high)
{
    TShort8 lowHalves;
    TShort8 highHalves;
    std::memcpy(&lowHalves, &low, sizeof low);
    std::memcpy(&highHalves, &high, sizeof high);
    return __builtin_shufflevector(lowHalves, highHalves, 0, 2, 4, 6, 8, 10, 12, 14);
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

void Pcm16ToInt32(const std::int16_t* samples, std::size_t count, std::int32_t* values)
{
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const auto eight = Load<TShort8>(samples + i);
        Store(values + i, Widened<0>(eight));
        Store(values + i + 4, Widened<4>(eight));
    }
    for (; i < count; ++i)
        values[i] = samples[i];
}

bool SaturateToPcm16(const std::int32_t* values, std::size_t count, std::int16_t* samples)
{
    const TInt4 low = TInt4{} - 32768;
    const TInt4 high = TInt4{} + 32767;
    TInt4 outside{};
    const auto clipped = [&](TInt4 four)
    {
        outside |= (four < low) | (four > high);
        four = four > low ? four : low;
        return four < high ? four : high;
    };
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
        Store(samples + i,
              Narrowed(clipped(Load<TInt4>(values + i)), clipped(Load<TInt4>(values + i + 4))));
    bool anyOutside = (outside[0] | outside[1] | outside[2] | outside[3]) != 0;
    for (; i < count; ++i)
    {
        anyOutside |= values[i] < -32768 || values[i] > 32767;
        samples[i] = static_cast<std::int16_t>(std::clamp(values[i], -32768, 32767));
    }
    return anyOutside;
}

} // namespace keb
