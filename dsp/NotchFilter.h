// The notch filter: a stream component that removes steady tones
// (heterodyne whistles) and the user's own frequencies with narrow notches,
// and leaves keyed CW and speech alone.
//
// Automatic: finds every tone that stays put (TSteadyToneDetector) and
// notches up to four at once, following their drift and letting go when
// they stop. Manual: up to four notches at frequencies the user chooses.
// Each notch is about 28 Hz wide and fades in and out over 20 ms
// (TNotchBank); the filter adds no delay. Both settings may change while
// audio runs: they are handed to the audio thread through atomics (the four
// manual frequencies in one 64-bit word) and take effect at the next buffer.
//
// Everything else as TMMSampleProcessor: 16-bit PCM, every channel on its
// own, Enabled false passes the audio bit-exact.
#pragma once

#include "dsp/NotchKernel.h"
#include "dsp/SampleProcessor.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace keb
{

class TMMNotchFilter : public TMMChannelKernels<TNotchKernel>
{
  public:
    static constexpr int MaxManualNotches = TNotchKernel::ManualNotches;
    // Manual frequencies are kept in quarter hertz, up to this.
    static constexpr float MaxNotchFrequency = 16383.75f;

    explicit TMMNotchFilter(TComponent* owner);
    ~TMMNotchFilter() override;

    bool Automatic() const { return automatic_.load(std::memory_order_relaxed); }
    void SetAutomatic(bool value) { automatic_.store(value, std::memory_order_relaxed); }

    // The manual notches in the order set, rounded to a quarter hertz.
    std::vector<float> ManualNotches() const;
    // Keeps the first four frequencies above 0 (clamped to MaxNotchFrequency).
    void SetManualNotches(std::span<const float> frequencies);
    // Adds one notch; when four are set already the oldest goes.
    void AddManualNotch(float frequency);
    void ClearManualNotches() { manual_.store(0, std::memory_order_relaxed); }

  protected:
    void Configure(TNotchKernel& kernel) override;

  private:
    std::atomic<bool> automatic_{false};
    std::atomic<std::uint64_t> manual_{0};
};

} // namespace keb
