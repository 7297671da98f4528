// ALSA devices that a sound server serves through an ALSA plugin of its own
// (PipeWire's "pipewire", the JACK plugin's devices) rather than a card's
// driver. The server runs its graph in periods that ALSA does not tell (a
// PipeWire graph may run at 1024 frames at 48000 Hz, 21.3 ms); a stream
// whose buffer is shorter than one of them is served a piece now and then
// and plays no usable audio. Streams on such a device, in either latency
// mode, ask for at least SoundServerLatency, enough for periods of up to 1024
// frames at 48000 Hz.
#pragma once

#include <string>

namespace keb
{

// True when ALSA's configuration defines Name as a device of PipeWire's,
// JACK's or PulseAudio's own ALSA plugin; false for a card, ALSA's own
// plugins (also over a server further down) and a name it does not define.
bool IsSoundServerDevice(const std::string& name);

inline constexpr double SoundServerLatency = 0.025; // seconds

// The period of the JACK server that the environment names (what PortAudio's
// JACK host API runs on), in seconds; 0 when no server answers. The ports'
// latencies do not tell it everywhere: PipeWire's JACK API gives 0.
double JackServerPeriodSeconds();

} // namespace keb
