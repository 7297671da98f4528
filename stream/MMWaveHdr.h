// The buffer header that travels along the stream chain.
//
// One zero-filled heap block: a TMMWaveHdr immediately followed by the audio
// bytes. Its first member is the platform's wave header (TWaveHdr,
// platform/audio/WaveHeader.h), so the address of a TMMWaveHdr is also a
// PWaveHdr that the device layer accepts as it is; only that part is handed to
// the device layer. The chain passes buffers as PWaveHdr by reference and never
// copies them; the component that allocated a buffer owns it and frees it
// with FreeAndClear (MMUtils.h).
//
// The extension:
//   CompanionHdr  the buffer the playback device is playing now; set by the
//                 playback device on every buffer it pushes on after play,
//                 null otherwise
//   LoopFlag      all bits set while looping, else 0
//   LoopCount, LoopsRemaining
//   WrapFlag      set by the supplier when this buffer's data jumped back to
//                 the loop start
// The loop fields belong to the playback device and the ring buffer; every
// other component passes them through untouched.
#pragma once

#include "platform/audio/WaveHeader.h"

#include <cstddef>
#include <cstdint>

namespace keb
{

struct TMMWaveHdr
{
    TWaveHdr wh;
    std::uint64_t ExtReserved;
    PWaveHdr CompanionHdr;
    std::uint32_t LoopFlag;
    std::uint32_t LoopCount;
    std::uint32_t LoopsRemaining;
    std::uint32_t WrapFlag;
};
using PMMWaveHdr = TMMWaveHdr*;

static_assert(offsetof(TMMWaveHdr, wh) == 0, "the platform header comes first");

// The extended header of a buffer made by AllocWaveHdr.
inline TMMWaveHdr* MMWaveHdr(PWaveHdr header)
{
    return reinterpret_cast<TMMWaveHdr*>(header);
}

// One zeroed block of a header and `audioBytes` audio bytes: lpData points
// just behind the header, dwBufferLength is audioBytes. Raises EOutOfMemory.
TMMWaveHdr* AllocWaveHdr(std::uint32_t audioBytes);

} // namespace keb
