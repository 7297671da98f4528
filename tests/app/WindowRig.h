// The whole main window on a stepped virtual sound card, for the latency
// tests and the latency benchmark: capture device 0 records a signal given
// frame by frame, playback device 0 keeps everything it plays.
//
// Stepping. The card moves only when the rig advances it, from one buffer
// boundary of either device to the next; after each step the rig waits
// (bounded) until the capture worker has pushed every buffer due by then and
// the playback worker has refilled every buffer played by then. The playback
// device starts half a buffer after the capture device (the rig advances the
// card while the playback device queues its first buffers, paused), so that
// the two devices' boundaries never coincide and the order of push and pull
// does not depend on the workers: the delay measured is that of an average
// phase between the two clocks.
//
// Errors that reach the window's error box are collected in ErrorBoxes.
// Needs a QApplication and the main loop's thread; main thread only. The rig
// selects its card for the wave layer while it lives.
#pragma once

#include "app/unit1.h"
#include "platform/audio/virtual/VirtualSoundCard.h"
#include "platform/core/Exceptions.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace keb::test
{

inline constexpr std::int32_t RigSampleRate = 8000;

// What the capture device records: a function of the capture frame, counted
// from the latest switch-on. 16-bit mono.
using TFrameSignal = std::function<std::int16_t(std::uint64_t Frame)>;

class TWindowRig
{
  public:
    explicit TWindowRig(TFrameSignal Signal);
    ~TWindowRig();
    TWindowRig(const TWindowRig&) = delete;
    TWindowRig& operator=(const TWindowRig&) = delete;

    TMainForm& Form() { return *Window; }

    // Clicks ON with the playback device's start put half a buffer behind
    // the capture device's. False when the devices did not both start.
    bool SwitchOn();
    // Clicks OFF and waits (bounded) until both devices have closed.
    bool SwitchOff();
    // Advances the running card boundary by boundary for this much card
    // time; false when a worker did not finish a step within 10 s.
    bool Run(std::chrono::microseconds Time);

    // Everything played since the latest switch-on, as samples.
    std::vector<std::int16_t> Played() const;
    // The capture frame recorded at the card time when Played()[0] was
    // played (known once Run has run): a sample recorded at capture frame f
    // and played at index i was delayed by i + PlayedStart() - f frames.
    std::int64_t PlayedStart() const { return playedStart_; }

    std::vector<std::string> ErrorBoxes;

  private:
    std::int64_t BufferFrames() const;
    void Advance(std::int64_t Time);
    bool AwaitWorkers();
    bool WaitUntil(const std::function<bool()>& Done);

    std::shared_ptr<TVirtualSoundCard> Card;
    std::shared_ptr<TMemorySink> Speaker;
    TErrorBoxHandler PreviousErrorBox;
    std::unique_ptr<TMainForm> Window;

    std::atomic<std::uint64_t> captured_{0}; // buffers pushed by the capture worker
    std::atomic<std::uint64_t> refilled_{0}; // buffers refilled by the playback worker
    std::atomic<bool> starting_{false};      // ON is queueing the first playback buffers
    std::int64_t cardTime_ = 0;              // microseconds since this switch-on
    std::int64_t playbackStart_ = 0;         // card time of the playback device's start
    std::int64_t playedStart_ = 0;
    std::shared_ptr<std::uint64_t> frame_; // the next capture frame (clock context)
};

} // namespace keb::test
