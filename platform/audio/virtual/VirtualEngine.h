// The virtual card's side of one open device: moves audio between the
// device's source or sink and the TWaveDevice when the card's clock advances.
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

class TVirtualEngine final : public TWaveEngine
{
  public:
    // Called under the card's lock, after the source or sink has opened.
    TVirtualEngine(std::shared_ptr<TVirtualSoundCard> card, TVirtualDevice& entry,
                   TWaveDevice& device);
    ~TVirtualEngine() override;

    TWaveResult Start() override;
    TWaveResult Stop(bool discard) override;
    TWaveResult QueueResult() const override;
    bool SendsClosedNotification() const override;

    // Under the card's lock: moves the audio due after this much time plus
    // this many frames.
    void Advance(std::uint64_t microseconds, std::uint64_t frames);
    void Fail(TWaveResult result);
    TWaveDirection Direction() const;
    // Under the card's lock, when the engine closes.
    void CloseEntry();

  private:
    void Move(std::size_t frames);

    const std::shared_ptr<TVirtualSoundCard> card_;
    TVirtualDevice& entry_;
    TWaveDevice& device_;
    const TWaveFormatEx format_;
    std::vector<std::uint8_t> scratch_;
    bool active_ = false;                      // guarded by the card's lock
    std::uint64_t dueMicroFrames_ = 0;         // frames * 1000000 not yet moved
    TStallDetector silence_{WaveStallTimeout}; // told the card's time under its lock
};

} // namespace keb
