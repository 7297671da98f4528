// Writing samples in a PCM wave format, for the virtual card's sources.
#pragma once

#include "platform/audio/WaveFormatRecord.h"

#include <cstdint>

namespace keb
{

inline std::uint8_t SilenceByteOf(const TWaveFormatEx& Format)
{
    return Format.wBitsPerSample == 8 ? std::uint8_t{0x80} : std::uint8_t{0};
}

// Stores one 16-bit sample at Data in Format's resolution (8 bits: the high
// byte, made unsigned); returns the address behind it.
inline std::uint8_t* StoreSample(std::uint8_t* Data, std::int16_t Sample,
                                 const TWaveFormatEx& Format)
{
    const auto Bits = static_cast<std::uint16_t>(Sample);
    if (Format.wBitsPerSample == 8)
    {
        *Data = static_cast<std::uint8_t>((Bits >> 8) ^ 0x80);
        return Data + 1;
    }
    Data[0] = static_cast<std::uint8_t>(Bits & 0xFF);
    Data[1] = static_cast<std::uint8_t>(Bits >> 8);
    return Data + 2;
}

} // namespace keb
