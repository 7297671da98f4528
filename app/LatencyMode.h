// The window's latency modes: how long and how many the audio buffers of the
// chain are and how long the equalizer's FFT is.
//
//   Standard  the window's stored layout: 2000-byte buffers (125 ms), two
//             each at the capture and the playback device, a ring of two
//             2000-byte slots, FFT length 256.
//   Low       32-byte buffers (2 ms): 16 at the capture device (they wait
//             there empty and add no delay), 3 at the playback device (each
//             queued one delays the sound by 2 ms and covers 2 ms of
//             scheduling delay), a ring of two 32-byte slots, FFT length 256.
//
// Where the delay goes (samples at 8000 Hz, buffer of B samples, playback
// queue of P buffers, FFT length N): a captured block is pushed when full
// (B), waits in the ring (B and the phase between the two devices' clocks,
// B/2 on average), the playback queue (P - 1 buffers) and is played over B;
// the equalizer delays by N/4 (the centre of its linear-phase kernel) and,
// while B < N, by N - B more: it filters whole frames of N samples, so the
// first N - B samples it hands back are silence. Standard: 3.5 B + N/4 +
// 232 = 3796 samples, 474.5 ms; Low: 3.5 B + 1.25 N - B = 376 samples, 47 ms.
//
// The FFT length stays 256 in Low. At 128 the bins are 62.5 Hz wide, so the
// 200 Hz band edges fall between bins, and the 65-tap kernel is too short
// for one band: a single closed band takes a tone down by about 10 dB
// instead of 30 dB, and one open band (the 0.2 kHz preset) loses 3 to 5 dB
// and moves 60 Hz down. The buffers are made small instead.
//
// Main thread only.
#pragma once

#include "platform/core/Exceptions.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace keb
{

class TMainForm;

KEB_EXCEPTION_CLASS(ELatencyError, Exception);

enum class TLatency
{
    Standard,
    Low
};

// What a mode sets.
struct TLatencySettings
{
    std::int32_t BufferSize;      // bytes: capture and playback buffers, ring slots
    std::int32_t CaptureBuffers;  // MMWaveIn.NumBuffers
    std::int32_t PlaybackBuffers; // WaveOut.NumBuffers
    std::int32_t RingSlots;       // MMRingBuffer1.NumBuffers
    int FFTLength;                // Equalizer.FFTLength

    bool operator==(const TLatencySettings&) const = default;
};

TLatencySettings LatencySettings(TLatency latency);

// "standard" or "low".
std::string_view LatencyName(TLatency latency);
// The mode of a name as LatencyName prints it (lower case only); none for
// any other text.
std::optional<TLatency> LatencyNamed(std::string_view name);

// The mode whose settings the window's components have now; none when they
// match neither (a component was set by hand).
std::optional<TLatency> LatencyOf(const TMainForm& form);

// Gives the chain's components the mode's settings. Only while the chain is
// closed: with either device or the ring open (the window is running) it
// raises ELatencyError "Change to property while device was open" and changes
// nothing, since open devices refuse new buffer sizes and counts and a mode
// applied in part would mix the two. The band list and the slider positions
// stay as they are; the equalizer applies them with the new FFT length when
// the chain opens.
void ApplyLatency(TMainForm& form, TLatency latency);

} // namespace keb
