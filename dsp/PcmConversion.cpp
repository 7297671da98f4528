#include "dsp/PcmConversion.h"

#include "dsp/MMFFTVectorTypes.h"

namespace keb
{
namespace
{

using Short4 = std::int16_t __attribute__((vector_size(8)));

// RoundToPcm16 on four values.
Short4 RoundToPcm16(Float4 values)
{
    const Float4 low = Float4{} - 32768.0f;
    const Float4 high = Float4{} + 32767.0f;
    const Float4 shift = Float4{} + 12582912.0f; // RoundNearest's 1.5 x 2^23
    Float4 clipped = values > low ? values : low;
    clipped = clipped < high ? clipped : high;
    return __builtin_convertvector(__builtin_convertvector((clipped + shift) - shift, Int4),
                                   Short4);
}

} // namespace

void RoundToPcm16(const float* values, std::size_t count, float scale, std::int16_t* samples)
{
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        Store(samples + i, RoundToPcm16(Load<Float4>(values + i) * scale));
    for (; i < count; ++i)
        samples[i] = RoundToPcm16(values[i] * scale);
}

void Pcm16ToFloat(const std::int16_t* samples, std::size_t count, float scale, float* values)
{
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        Store(values + i, __builtin_convertvector(Load<Short4>(samples + i), Float4) * scale);
    for (; i < count; ++i)
        values[i] = static_cast<float>(samples[i]) * scale;
}

} // namespace keb
