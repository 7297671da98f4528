// The noise reducer of one channel.
//
// Every Hop samples (8 ms at 8000 Hz) the last FrameLength samples (about
// 32 ms, a Hann window whose fall is shortened) are transformed; the noise
// floor tracker and the suppression gain turn their power into a gain per
// bin, and the minimum-phase filter (twice the frame's length, so that the
// long responses of narrow CW passbands fit) applies that curve to the
// stream. The output is the input of
// one hop earlier, filtered: the reducer delays by exactly Hop samples.
//
// Level 0 (off) passes the input undelayed and does no analysis. Changing to
// or from 0 crossfades over one hop between the undelayed input and the
// filtered stream; the estimates go on from where they were. Changing
// between levels 1 to 3 takes effect at the next hop, the filter
// crossfading to the new response. Nothing is allocated after construction.
#pragma once

#include "dsp/MMFFT.h"
#include "dsp/MinimumPhaseFilter.h"
#include "dsp/NoiseFloorTracker.h"
#include "dsp/SuppressionGain.h"

#include <memory>
#include <span>
#include <vector>

namespace keb
{

class TNoiseReductionKernel
{
  public:
    explicit TNoiseReductionKernel(int sampleRate);
    ~TNoiseReductionKernel();

    static int HopFor(int sampleRate);

    int FrameLength() const { return length_; }
    int Hop() const { return hop_; }

    void Clear();
    // The level for the samples that follow (0 .. 3).
    void SetLevel(int level);
    // Whether Process leaves samples as they are (off, and faded out).
    bool Transparent() const { return level_ == 0 && mix_ <= 0.0f; }
    // Reduces the noise of the samples, in place.
    void Process(std::span<float> samples);

  private:
    // While transparent: the samples join the history as the hops would have
    // shifted them in, without a shift per hop.
    void Remember(std::span<const float> samples);
    void Analyse();
    void RunHop();
    // Mixes the filtered stream into count samples from position_ on.
    void Mix(float* samples, int count);

    struct TPlanDeleter
    {
        void operator()(TRealFFTPlan* plan) const { DoneRealFFT(plan); }
    };

    int length_;
    int hop_;
    std::unique_ptr<TRealFFTPlan, TPlanDeleter> plan_;
    std::vector<float> window_;
    TNoiseFloorTracker floor_;
    TSuppressionGain gain_;
    TMinimumPhaseFilter filter_;
    std::vector<float> frame_, power_, gains_;
    // The filter's last Length input samples, the newest hop at the end.
    std::vector<float> history_;
    std::vector<float> output_;
    int position_ = 0;
    int level_ = 0;
    // Share of the filtered stream in the output, moving by mixStep_ per
    // sample towards 1 while a level is on and towards 0 while off.
    float mix_ = 0;
    float mixStep_;
};

} // namespace keb
