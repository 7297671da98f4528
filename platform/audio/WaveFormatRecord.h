// The wave format record: how a block of PCM audio is laid out.
//
// A plain, packed, little-endian record of 18 bytes, the same layout that wave
// files and the device layer use, so that it can be copied, stored and compared
// byte by byte. A PCM format has extra size 0; any other format tag is followed
// by cbSize format-specific bytes, which the owner allocates behind the record.
//
// PCM data: 8-bit samples are unsigned (silence 128), 16-bit samples signed
// (silence 0); a frame holds one sample per channel, left before right.
#pragma once

#include <cstdint>

namespace keb
{

// The format tag of uncompressed PCM.
inline constexpr std::uint16_t WaveFormatPcm = 1;

#pragma pack(push, 1)
struct TWaveFormatEx
{
    std::uint16_t wFormatTag;      // WaveFormatPcm for PCM
    std::uint16_t nChannels;       // 1 mono, 2 stereo
    std::uint32_t nSamplesPerSec;  // frames per second
    std::uint32_t nAvgBytesPerSec; // nBlockAlign * nSamplesPerSec for PCM
    std::uint16_t nBlockAlign;     // bytes per frame: nChannels * wBitsPerSample / 8
    std::uint16_t wBitsPerSample;  // 8 or 16 for PCM
    std::uint16_t cbSize;          // bytes of format-specific data that follow
};
#pragma pack(pop)

static_assert(sizeof(TWaveFormatEx) == 18, "the wave format record is 18 bytes");

} // namespace keb
