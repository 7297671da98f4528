// The program's live chain on a stepped virtual sound card, for the chain
// tests and the latency benchmark:
//
//   capture device -> push probe -> ring buffer (duplex) -> pull probe -> playback device
//
// The probes stand where the program has its input connector and equalizer:
// plain stream components that pass everything on and count what passed, so
// the rig can tell when the two workers have dealt with a step of the card.
// The two devices may run on clocks of different rates: the capture device
// records at CaptureRate, and the push probe announces PlaybackRate downstream,
// so the playback device plays at that rate; with 8080 and 8000 the capture
// clock runs 1 % fast, as a sound card whose crystal is off would.
//
// Stepping. The card moves only when the rig advances it, from one buffer
// boundary of either device to the next; after each step the rig waits
// (bounded) until the device whose buffer finished has pushed it into the ring
// or pulled its next buffer from it. So every buffer is re-queued before the
// card needs it again and nothing is lost to the rig's own pace. PlaybackLag
// delays the playback device's first buffer against the capture device's, so
// that their buffer boundaries do not coincide (simultaneous boundaries would
// leave the order of push and pull to the two workers).
//
// Main thread only; the rig selects its card for the wave layer while it lives.
#pragma once

#include "devices/MMRingBf.h"
#include "devices/MMWavIn.h"
#include "devices/MMWavOut.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace keb::test
{

// What the capture device records, frame by frame: a function of the running
// frame number (counted over every switch-on of the rig). 16-bit mono.
using TFrameSignal = std::function<std::int16_t(std::uint64_t Frame)>;

// Counts every buffer pushed through it; with AnnouncedRate it hands that
// sample rate downstream instead of the one it receives.
class TPushProbe : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void InputFormatChanged(const TWaveFormatEx* Format) override;
    void BufferReady(PWaveHdr lpWaveHdr) override;

    std::int32_t AnnouncedRate = 0; // 0: pass the format on unchanged
    std::atomic<std::uint64_t> Pushes{0};
};

// Counts every pull through it; runs OnStarted when the chain starts.
class TPullProbe : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void ChainStarted() override;
    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override;

    std::function<void()> OnStarted;
    std::atomic<std::uint64_t> Pulls{0};
};

struct TChainSettings
{
    std::int32_t BufferBytes = 2000;  // capture and playback buffers, ring slots
    std::int32_t NumBuffers = 2;      // capture and playback
    std::int32_t Slots = 2;           // ring
    std::int32_t CaptureRate = 8000;  // the capture clock's real rate
    std::int32_t PlaybackRate = 8000; // the playback clock's real rate
    std::chrono::microseconds PlaybackLag{62500};
};

class TChainRig
{
  public:
    TChainRig(const TChainSettings& Settings, TFrameSignal Signal);
    ~TChainRig();
    TChainRig(const TChainRig&) = delete;
    TChainRig& operator=(const TChainRig&) = delete;

    // The program's ON: capture Start, then playback Start.
    void SwitchOn();
    // The program's OFF: capture Close, then playback Close.
    void SwitchOff();
    // Advances the card boundary by boundary for this much card time; false
    // when a worker did not finish a step within 10 s.
    bool Run(std::chrono::microseconds Time);

    // Everything the playback device has played since it opened, as samples.
    std::vector<std::int16_t> Played() const;
    std::uint64_t CapturedBuffers() const { return PushProbe.Pushes.load(); }
    std::uint64_t PlayedBuffers() const;
    std::int64_t CardTime() const { return cardTime_; }

    std::shared_ptr<TVirtualSoundCard> Card;
    std::shared_ptr<TMemorySink> Speaker;

  private:
    // Selects the card for the wave layer before the devices are made (they
    // ask it for their product names) and deselects it after they are gone.
    struct TCardSelection
    {
        TCardSelection(std::shared_ptr<TVirtualSoundCard> Card,
                       std::shared_ptr<TMemorySink> Speaker, const TFrameSignal& Signal);
        ~TCardSelection();
    } selection_;

  public:
    TMMWaveIn Capture;
    TPushProbe PushProbe;
    TMMRingBuffer Ring;
    TPullProbe PullProbe;
    TMMWaveOut Playback;

  private:
    std::int64_t BufferFrames() const { return settings_.BufferBytes / 2; }
    // Card time at which the capture device has finished buffer n (from 1).
    std::int64_t CaptureBoundary(std::uint64_t n) const;
    std::int64_t PlaybackBoundary(std::uint64_t n) const;
    void Advance(std::int64_t Time);
    // Waits until both devices have dealt with every buffer due by now.
    bool AwaitWorkers() const;

    const TChainSettings settings_;
    std::int64_t cardTime_ = 0;           // microseconds since the devices opened
    std::int64_t playbackStartFrame_ = 0; // playback frame of the first written buffer
    std::uint64_t initialPulls_ = 0;      // pulls made by playback Start
};

} // namespace keb::test
