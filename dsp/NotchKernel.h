// The notch filter of one channel: the steady-tone detector drives the first
// four slots of a notch bank (the automatic notches), the user's notches take
// the other four. The detector listens to the input, before any notch, so a
// notched carrier stays tracked for as long as it is there; what it finds in
// a frame moves the notches from the sample after that frame's last.
#pragma once

#include "dsp/NotchBank.h"
#include "dsp/SteadyToneDetector.h"

#include <array>
#include <span>

namespace keb
{

class TNotchKernel
{
  public:
    static constexpr int ManualNotches = 4;
    using TManual = std::array<float, ManualNotches>;

    explicit TNotchKernel(int sampleRate);

    void Clear();
    // The settings for the samples that follow; cheap when nothing changed.
    void Apply(bool automatic, const TManual& manual);
    // Whether Process leaves samples as they are (no automatic notch, every
    // slot faded out).
    bool Transparent() const;
    // Notches the samples, in place.
    void Process(std::span<float> samples);

  private:
    void FollowDetector();

    TSteadyToneDetector detector_;
    TNotchBank bank_;
    bool automatic_ = false;
    TManual manual_{};
};

} // namespace keb
