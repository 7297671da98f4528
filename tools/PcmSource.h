// TPcmSource: the head of the tool's chain, a stream component that answers
// BufferLoad with the next samples of a supply, as 8000 Hz 16-bit mono PCM.
//
// Around the supply's audio it can add silence: LeadingSilence samples before
// it and TrailingSilence after it (the aligned run primes and drains the
// equalizer with them). A pull fills the whole buffer while audio or silence
// is left; the pull that reaches the end returns the rest (possibly nothing)
// with MoreBuffers false, and so does every pull after it.
//
// Owns no audio: the supply must outlive the source. Runs in the thread that
// pulls; errors of the supply propagate out of BufferLoad.
#pragma once

#include "stream/MMDSPObj.h"
#include "tools/SampleSupply.h"

#include <cstdint>

namespace keb
{

class TPcmSource : public TMMDSPComponent
{
  public:
    TPcmSource(TComponent* owner, TSampleSupply& supply, int sampleRate);

    bool HasInputPort() const override { return false; }

    void SetLeadingSilence(std::int64_t samples) { leading_ = samples; }
    void SetTrailingSilence(std::int64_t samples) { trailing_ = samples; }
    // Samples of the supply handed out so far.
    std::int64_t AudioSamples() const { return audioSamples_; }

    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override;

  private:
    // Writes up to count samples of silence from `remaining`.
    static std::size_t Silence(std::int16_t* samples, std::size_t count, std::int64_t& remaining);

    TSampleSupply& supply_;
    std::int64_t leading_ = 0;
    std::int64_t trailing_ = 0;
    std::int64_t audioSamples_ = 0;
    bool audioEnded_ = false;
};

} // namespace keb
