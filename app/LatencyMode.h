// The window's latency modes: how long and how many the audio buffers of the
// chain are and how the equalizer applies its filter.
//
//   Standard  the window's stored layout: 2000-byte buffers (125 ms), two
//             each at the capture and the playback device, a ring of two
//             2000-byte slots, FFT length 256, FFT fast convolution.
//   Low       128-byte buffers (8 ms): 8 at the capture device (they wait
//             there empty and add no delay), 2 at the playback device, a
//             ring of two 128-byte slots; the equalizer designs its filter
//             as Standard does (FFT length 256, the same 129 taps and the
//             same magnitude response) and runs it as a direct-form
//             minimum-phase filter (Equalizer.LowLatency), which hands back
//             every buffer at once, whatever its size. A device with a
//             longer period (a JACK server at 8000 Hz with 256-frame periods
//             hands over 32 ms at once) gets buffers of whole 128-byte steps
//             that hold one period, so that every period fills one buffer;
//             a device whose period is shorter than a buffer (a JACK server
//             at 48000 Hz with 128-frame periods: 2.7 ms) gets a third
//             playback buffer.
//             A card that runs at another rate converts with a short filter
//             (platform/audio/WaveLatency.h).
//
// Where the delay goes (samples at 8000 Hz, buffer of B samples, playback
// queue of P buffers, FFT length N): a captured block is pushed when full
// (B), waits in the ring (B and the phase between the two devices' clocks,
// B/2 on average), in the playback queue (P - 1 buffers) and is played over
// B. Standard's equalizer delays by N/4 (the centre of its linear-phase
// kernel) and, while B < N, by N - B more: it filters whole frames of N
// samples, so the first N - B samples it hands back are silence. Standard:
// 3.5 B + N/4 + 248 = 3812 samples, 476.5 ms (the equalizer's lead over
// 1000-sample buffers settles at 248 samples). Low's filter adds only its
// group delay, next to nothing for a flat setting and a few milliseconds in
// a narrow passband: 3.5 B = 224 samples, 28 ms.
//
// Main thread only.
#pragma once

#include "platform/core/Exceptions.h"
#include "settings/LatencyName.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace keb
{

class TMainForm;

KEB_EXCEPTION_CLASS(ELatencyError, Exception);

// What a mode sets.
struct TLatencySettings
{
    std::int32_t BufferSize;      // bytes: capture and playback buffers, ring slots
    std::int32_t CaptureBuffers;  // MMWaveIn.NumBuffers
    std::int32_t PlaybackBuffers; // WaveOut.NumBuffers
    std::int32_t RingSlots;       // MMRingBuffer1.NumBuffers
    int FFTLength;                // Equalizer.FFTLength
    bool LowLatencyFilter;        // Equalizer.LowLatency

    bool operator==(const TLatencySettings&) const = default;
};

// Low's buffers hold at least one period of the devices (deviceBlockSeconds,
// see WaveInGetBlockSeconds): a device that hands over 32 ms at once would
// starve smaller buffers, and could not give less latency anyway. A known
// period shorter than the buffers adds a playback buffer.
TLatencySettings LatencySettings(TLatency latency, double deviceBlockSeconds = 0);

// The mode whose settings the window's components have now, for the devices
// they have now; none when they match neither (a component was set by hand,
// or a device with another period was chosen since).
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
