// Writing samples in a PCM wave format, for the virtual card's sources.
#pragma once

#include "platform/audio/WaveFormatRecord.h"

#include <cstdint>

namespace keb
{

inline std::uint8_t SilenceByteOf(const TWaveFormatEx& format)
{
    return format.wBitsPerSample == 8 ? std::uint8_t{0x80} : std::uint8_t{0};
}

// Stores one 16-bit sample at Data in Format's resolution (8 bits: the high
// byte, made unsigned); returns the address behind it.
inline std::uint8_t* StoreSample(std::uint8_t* data, std::int16_t sample,
                                 const TWaveFormatEx& format)
{
    const auto bits = static_cast<std::uint16_t>(sample);
    if (format.wBitsPerSample == 8)
    {
        *data = static_cast<std::uint8_t>((bits >> 8) ^ 0x80);
        return data + 1;
    }
    data[0] = static_cast<std::uint8_t>(bits & 0xFF);
    data[1] = static_cast<std::uint8_t>(bits >> 8);
    return data + 2;
}

} // namespace keb
