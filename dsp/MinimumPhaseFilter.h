// Applies a gain curve to a stream with the delay of one block: the curve
// becomes a minimum-phase filter (its energy at the start of the impulse
// response, so almost no delay of its own), run by overlap-save convolution
// over the last Length samples, Block new samples at a time.
//
// The minimum-phase response comes from the real cepstrum: the log gain is
// transformed, folded onto positive times and transformed back, then
// exponentiated (length 2 x the gain curve's transform, so that the
// cepstrum hardly aliases). Its impulse response must fit Length - Block + 1
// samples; gains from a transform of half the length do.
//
// Every block is filtered with both the previous and the new response (one
// complex convolution gives both: the previous as the real part of the
// result, the new as the imaginary part) and crossfaded between them with a
// raised cosine, so a change of response never clicks. Memory is allocated
// at construction; nothing per block.
#pragma once

#include "dsp/MMFFT.h"

#include <memory>
#include <span>
#include <vector>

namespace keb
{

class TMinimumPhaseFilter
{
  public:
    // length a power of two, block < length / 2.
    TMinimumPhaseFilter(int length, int block);
    ~TMinimumPhaseFilter();

    int Length() const { return length_; }
    int Block() const { return block_; }

    // Flat response, silent history.
    void Clear();
    // The next block's response: gains at length / 2 + 1 equally spaced
    // frequencies from 0 to half the sample rate, each above 0.
    void SetGains(std::span<const float> gains);
    // Filters the history (Length samples, the last Block of them new) into
    // out: the filtered values of those Block samples.
    void Filter(std::span<const float> history, std::span<float> out);

  private:
    struct TRealPlanDeleter
    {
        void operator()(TRealFFTPlan* plan) const { DoneRealFFT(plan); }
    };
    struct TComplexPlanDeleter
    {
        void operator()(TComplexFFTPlan* plan) const { DoneComplexFFT(plan); }
    };

    // The Nyquist value of a real sequence (the packed transform drops it).
    static float Nyquist(std::span<const float> x);
    // The previous response plus i times the next over the whole circle, in
    // the convolution's bit-reversed order.
    void CombineResponses();

    int length_;
    int block_;
    std::unique_ptr<TRealFFTPlan, TRealPlanDeleter> real_;
    std::unique_ptr<TComplexFFTPlan, TComplexPlanDeleter> complex_;
    // Responses at bins 0 .. length/2, interleaved (re, im).
    std::vector<float> previous_, next_;
    std::vector<float> scratch_, combined_, scrambled_, work_, fade_;
};

} // namespace keb
