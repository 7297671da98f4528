// The noise reducer: a stream component that lowers the noise between and
// under the wanted signals (CW, speech) with a spectral gain that follows
// the changing noise floor by itself (TNoiseReductionKernel).
//
// Level 0 is off (the audio passes undelayed), 1 gentle, 2 normal, 3
// strong; any other value is clamped. While a level is on the output lags
// the input by one hop (8 ms at 8000 Hz). The level may change while audio
// runs: it reaches the audio thread through an atomic and takes effect at
// the next buffer, crossfaded, without a gap.
//
// Everything else as TMMSampleProcessor: 16-bit PCM, every channel on its
// own, Enabled false passes the audio bit-exact.
#pragma once

#include "dsp/NoiseReductionKernel.h"
#include "dsp/SampleProcessor.h"

#include <atomic>

namespace keb
{

class TMMNoiseReducer : public TMMChannelKernels<TNoiseReductionKernel>
{
  public:
    static constexpr int MaxLevel = 3;

    explicit TMMNoiseReducer(TComponent* owner);
    ~TMMNoiseReducer() override;

    // The delay while a level is on, in samples.
    static int DelayAt(int sampleRate) { return TNoiseReductionKernel::HopFor(sampleRate); }

    int Level() const { return level_.load(std::memory_order_relaxed); }
    void SetLevel(int value);

  protected:
    void Configure(TNoiseReductionKernel& kernel) override { kernel.SetLevel(Level()); }

  private:
    std::atomic<int> level_{0};
};

} // namespace keb
