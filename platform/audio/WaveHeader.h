// The wave buffer header: one block of audio handed to a wave device.
//
// A plain struct, so that the stream framework can embed it as the first
// member of its own buffer header and hand the address of that header to the
// device layer unchanged. The caller owns the header and the audio bytes it
// points at; the device layer only borrows them between WaveInAddBuffer /
// WaveOutWrite and the buffer-done notification (or the WaveInReset /
// WaveOutReset / WaveInStop that returns them).
//
// Fields the device layer reads and writes:
//   lpData, dwBufferLength  the audio bytes and their capacity (caller sets)
//   dwBytesRecorded         capture: bytes filled so far (layer sets; 0 at add)
//   dwUser                  the caller's value; the layer never touches it
//   dwFlags                 WaveHdr* flags below; the caller sets 0 before
//                           WaveInPrepareHeader/WaveOutPrepareHeader and then
//                           only reads them (see LoadWaveHdrFlags)
//   dwLoops, reserved       not used by the layer; kept for the caller
//   lpNext                  owned by the layer while the buffer is queued
//
// Thread rule: while a buffer is queued the layer may write dwFlags from its
// audio context; a thread that polls for WaveHdrDone must read the flags with
// LoadWaveHdrFlags (an acquire load), which also makes the audio bytes and
// dwBytesRecorded written before the done flag visible to that thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace keb
{

// dwFlags bits.
inline constexpr std::uint32_t WaveHdrDone = 0x01;     // the layer has finished with the buffer
inline constexpr std::uint32_t WaveHdrPrepared = 0x02; // prepared; may be added or written
inline constexpr std::uint32_t WaveHdrInQueue = 0x10;  // queued at the device now

struct TWaveHdr
{
    char* lpData;
    std::uint32_t dwBufferLength; // bytes
    std::uint32_t dwBytesRecorded;
    std::uint32_t dwUser;
    std::uint32_t dwFlags;
    std::uint32_t dwLoops;
    TWaveHdr* lpNext;
    std::uintptr_t reserved;
};

using PWaveHdr = TWaveHdr*;

static_assert(alignof(std::uint32_t) >= std::atomic_ref<std::uint32_t>::required_alignment);

// Reads dwFlags as the layer's audio context last published them.
inline std::uint32_t LoadWaveHdrFlags(const TWaveHdr& header)
{
    auto& flags = const_cast<std::uint32_t&>(header.dwFlags);
    return std::atomic_ref<std::uint32_t>(flags).load(std::memory_order_acquire);
}

// Publishes dwFlags together with everything written to the buffer before.
inline void StoreWaveHdrFlags(TWaveHdr& header, std::uint32_t flags)
{
    std::atomic_ref<std::uint32_t>(header.dwFlags).store(flags, std::memory_order_release);
}

} // namespace keb
