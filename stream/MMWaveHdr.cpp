#include "stream/MMWaveHdr.h"

#include "stream/MMUtils.h"

namespace keb
{

TMMWaveHdr* AllocWaveHdr(std::uint32_t audioBytes)
{
    auto* header = static_cast<TMMWaveHdr*>(AllocZeroed(sizeof(TMMWaveHdr) + audioBytes));
    header->wh.lpData = reinterpret_cast<char*>(header + 1);
    header->wh.dwBufferLength = audioBytes;
    return header;
}

} // namespace keb
