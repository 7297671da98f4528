// ALSA devices that PortAudio's probe leaves out.
//
// PortAudio lists an ALSA device only when it takes PortAudio's trial buffer
// sizes at the device's own rate without resampling. A device over a JACK
// server with short periods (8000 Hz with 64- or 128-frame periods), or one
// that converts to a server running at another rate, refuses those trials
// and goes missing, though it opens and plays with the sizes a stream asks
// for. ALSA's own list of named devices still has it: those that PortAudio
// did not list and that open are offered here, to be opened by name.
#pragma once

#include <string>
#include <vector>

namespace keb
{

struct TAlsaDevice
{
    std::string Name;
    int CaptureChannels = 0; // 0: does not open for capture
    int PlaybackChannels = 0;
};

// The named devices of ALSA's configuration (not a card's variants such as
// "hw:0,0", not "null") that open in at least one direction and whose name
// is not in Listed, in ALSA's order.
std::vector<TAlsaDevice> UnlistedAlsaDevices(const std::vector<std::string>& listed);

} // namespace keb
