// The sound card of `keb --demo`: a receiver that needs no receiver.
//
// Capture comes from the demo signal (DemoSignal.h) through a virtual sound
// card; playback goes to the real sound card's output when PortAudio finds
// one, else nowhere. The demo card numbers its devices like any backend:
// capture 0 "KEB demo receiver", playback 0 .. n-1 the real outputs (or 0
// "KEB demo speaker", which discards the audio).
//
// Threads: the backend forwards every call to the card or to PortAudio,
// which are thread-safe; the source runs in the virtual card's clock context.
#pragma once

#include "platform/audio/WaveBackend.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <memory>

namespace keb
{

// A capture source that plays the demo signal (16 or 8 bits, any channel
// count: every channel carries the same signal).
std::unique_ptr<TVirtualSource> MakeDemoSignalSource();

// The demo backend over card (whose capture device 0 must be the demo
// receiver and whose playback device 0 the fallback speaker) and speakers
// (the real outputs; null or without playback devices: the card plays).
std::shared_ptr<TWaveBackend> MakeDemoBackend(std::shared_ptr<TVirtualSoundCard> card,
                                              std::shared_ptr<TWaveBackend> speakers);

// The demo backend of the program: a real-time card with the demo receiver
// and a silent speaker, and PortAudio's outputs.
std::shared_ptr<TWaveBackend> MakeDemoBackend();

} // namespace keb
