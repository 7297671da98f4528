// Part of the backends (TWaveBackend.h): the format check and the device name
// copy that every backend uses.
#include "platform/audio/WaveBackend.h"

#include <algorithm>
#include <cstring>

namespace keb
{

TWaveResult CheckPcmFormat(const TWaveFormatEx& format)
{
    const bool pcm = format.wFormatTag == WaveFormatPcm &&
                     (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
                     format.nChannels >= 1 && format.nSamplesPerSec > 0;
    if (!pcm)
    {
        return wrBadFormat;
    }
    const std::uint32_t blockAlign = format.nChannels * format.wBitsPerSample / 8u;
    if (format.nBlockAlign != blockAlign ||
        format.nAvgBytesPerSec != std::uint64_t{blockAlign} * format.nSamplesPerSec)
    {
        return wrBadFormat;
    }
    return wrNoError;
}

void CopyDeviceName(const char* text, TWaveCaps& caps)
{
    const std::size_t length = std::min(std::strlen(text), sizeof(caps.szPname) - 1);
    std::memcpy(caps.szPname, text, length);
    caps.szPname[length] = '\0';
}

} // namespace keb
