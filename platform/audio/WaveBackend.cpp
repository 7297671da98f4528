// Part of the backends (WaveBackend.h): the format check and the device name
// copy that every backend uses.
#include "platform/audio/WaveBackend.h"

#include <algorithm>
#include <cstring>

namespace keb
{

TWaveResult CheckPcmFormat(const TWaveFormatEx& Format)
{
    const bool Pcm = Format.wFormatTag == WaveFormatPcm &&
                     (Format.wBitsPerSample == 8 || Format.wBitsPerSample == 16) &&
                     Format.nChannels >= 1 && Format.nSamplesPerSec > 0;
    if (!Pcm)
    {
        return wrBadFormat;
    }
    const std::uint32_t BlockAlign = Format.nChannels * Format.wBitsPerSample / 8u;
    if (Format.nBlockAlign != BlockAlign ||
        Format.nAvgBytesPerSec != std::uint64_t{BlockAlign} * Format.nSamplesPerSec)
    {
        return wrBadFormat;
    }
    return wrNoError;
}

void CopyDeviceName(const char* Text, TWaveCaps& Caps)
{
    const std::size_t Length = std::min(std::strlen(Text), sizeof(Caps.szPname) - 1);
    std::memcpy(Caps.szPname, Text, Length);
    Caps.szPname[Length] = '\0';
}

} // namespace keb
