// What ALSA and JACK print of their own while PortAudio looks for devices.
//
// Both libraries report every failed probe on standard error ("ALSA lib ...
// Unknown PCM", "jack server is not running"): dozens of lines on a machine
// without a sound card or JACK server, all of them expected there. KEB says
// what matters in its own words, so TPortAudioBackend mutes the libraries
// before it initialises PortAudio, for the rest of the process; a program
// that calls ShowAudioLibraryMessages(true) first (keb --verbose) keeps them.
// JACK is muted only when PortAudio brought it along (it is looked up, not
// linked). Call from the main thread before the first use of the sound layer.
#pragma once

namespace keb
{

void ShowAudioLibraryMessages(bool show);
// Mutes ALSA's and JACK's own printing unless it is to be shown.
void QuietAudioLibraries();

} // namespace keb
