// The virtual card's side of one open device: moves audio between the
// device's source or sink and the WaveDevice when the card's clock advances.
// A running device that has moved nothing for WaveStallTimeout of the card's
// time (a stalled device) fails with wrDeviceStalled, as a real card would.
#pragma once

#include "platform/audio/StallDetector.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace keb
{

class VirtualEngine final : public WaveEngine
{
  public:
    // Called under the card's lock, after the source or sink has opened.
    VirtualEngine(std::shared_ptr<VirtualSoundCard> Card, VirtualDevice& Entry, WaveDevice& Device);
    ~VirtualEngine() override;

    TWaveResult Start() override;
    TWaveResult Stop(bool Discard) override;
    TWaveResult QueueResult() const override;
    bool SendsClosedNotification() const override;

    // Under the card's lock: moves the audio due after this much time plus
    // this many frames.
    void Advance(std::uint64_t Microseconds, std::uint64_t Frames);
    void Fail(TWaveResult Result);
    WaveDirection Direction() const;
    // Under the card's lock, when the engine closes.
    void CloseEntry();

  private:
    void Move(std::size_t Frames);

    const std::shared_ptr<VirtualSoundCard> Card;
    VirtualDevice& Entry;
    WaveDevice& Device;
    const TWaveFormatEx Format;
    std::vector<std::uint8_t> Scratch;
    bool Active = false;                     // guarded by the card's lock
    std::uint64_t DueMicroFrames = 0;        // frames * 1000000 not yet moved
    StallDetector Silence{WaveStallTimeout}; // told the card's time under its lock
};

} // namespace keb
