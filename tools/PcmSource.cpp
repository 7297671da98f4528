#include "tools/PcmSource.h"

#include <algorithm>

namespace keb
{

TPcmSource::TPcmSource(TComponent* owner, TSampleSupply& supply, int sampleRate)
    : TMMDSPComponent(owner), supply_(supply)
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, static_cast<std::uint32_t>(sampleRate));
    SetWaveFormat(&format);
}

std::size_t TPcmSource::Silence(std::int16_t* samples, std::size_t count, std::int64_t& remaining)
{
    std::size_t given = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), remaining));
    std::fill_n(samples, given, std::int16_t{0});
    remaining -= static_cast<std::int64_t>(given);
    return given;
}

void TPcmSource::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    if (OnBufferLoad)
        OnBufferLoad(this, lpWaveHdr, MoreBuffers);
    auto* samples = reinterpret_cast<std::int16_t*>(lpWaveHdr->lpData);
    const std::size_t wanted = lpWaveHdr->dwBufferLength / 2;
    std::size_t given = Silence(samples, wanted, leading_);
    if (!audioEnded_ && given < wanted)
    {
        std::size_t audio = supply_.Supply(samples + given, wanted - given);
        audioSamples_ += static_cast<std::int64_t>(audio);
        given += audio;
        audioEnded_ = given < wanted;
    }
    if (audioEnded_)
        given += Silence(samples + given, wanted - given, trailing_);
    lpWaveHdr->dwBytesRecorded = static_cast<std::uint32_t>(given * 2);
    MoreBuffers = given == wanted;
}

} // namespace keb
