// Real-time scheduling for the thread that exchanges audio with a device.
//
// A sound server's own threads run first-in-first-out at a real-time
// priority where the system allows it; a client thread left at the normal
// policy waits behind every busy process, and at a server's short periods a
// wait of a few milliseconds loses a period (over ALSA's JACK plugin the
// capture stream may never come back). The stream's thread therefore asks
// for the lowest first-in-first-out priority, below the server's, once it
// runs. A thread that is already real-time (PortAudio's JACK streams run in
// the server's client thread) keeps its own; a system that refuses (no
// privilege, no real-time budget) leaves the thread as it was: the audio
// plays as before, with more risk of losing periods on a busy machine.
#pragma once

namespace keb
{

// Asks for real-time scheduling for the calling thread. Two system calls; it
// neither allocates nor waits.
void RaiseThisThreadToRealTime();

} // namespace keb
