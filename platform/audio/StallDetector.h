// Tells when a running stream has moved no audio for too long. Every backend
// of the wave device layer keeps one per open device and fails the device
// with wrDeviceStalled when it fires: a card that stops exchanging audio
// (a pulled cable that its driver does not report) ends in the device's
// error instead of a silent hang.
//
// A detector given the least number of frames a second that counts as life
// (a device's stream that trickles a period now and then, far slower than its
// rate, plays no usable audio) also treats as silent every stretch of time in
// which fewer frames than that pace moved; without it, any beat is life.
//
// The detector has no clock of its own; its owner tells it how much time has
// passed. PortAudio's watchdog thread tells it the steady clock's time (see
// portaudio/StallWatchdog.h); a virtual card tells it the time its clock
// advances, so a stepped card stalls in stepped time.
//
// Threads: Beat comes from the audio context (one relaxed atomic increment:
// no lock, no allocation); Restart and Elapse come from one thread at a time,
// the owner's, which orders them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace keb
{

// How long a running device may move no audio before it counts as failed.
inline constexpr std::chrono::milliseconds WaveStallTimeout{1000};

class TStallDetector
{
  public:
    explicit TStallDetector(std::chrono::microseconds limit, double leastFramesPerSecond = 0)
        : timeout_(limit), leastFramesPerSecond_(leastFramesPerSecond)
    {
    }

    // Audio moved: Frames of it.
    void Beat(std::uint64_t frames = 1) { beats_.fetch_add(frames, std::memory_order_relaxed); }
    // The stream (re)starts: silence counts from now, earlier beats do not
    // count as life, and a stall may be reported again.
    void Restart();
    // Time has passed since the last Elapse or Restart. True once per
    // Restart: the first time no beat has come for longer than Timeout.
    bool Elapse(std::chrono::microseconds time);

  private:
    const std::chrono::microseconds timeout_;
    const double leastFramesPerSecond_;
    std::atomic<std::uint64_t> beats_{0};
    std::uint64_t seen_ = 0;
    std::chrono::microseconds silent_{0};
    bool reported_ = false;
};

} // namespace keb
