// The tool's chain: a PCM source -> the equalizer -> the notch filter -> the
// noise reducer -> a sink, pulled from the sink in 2000-byte buffers, as the
// window's playback device pulls its buffers through the same three.
//
// The source and the equalizer are configured through their accessors
// before Open, and the notch filter and the noise reducer too: Open leaves
// out of the chain those that are off, as they would pass the audio
// unchanged. Open runs the chain's open and start notifications (the
// equalizer creates its engine then), the destructor its stop and close.
// One buffer header is allocated at construction; a pull allocates nothing.
// Not thread-safe: one thread at a time builds, pulls or destroys the chain;
// the one that built it may hand the pulls to another.
#pragma once

#include "dsp/MMEQ.h"
#include "dsp/MMFFTFlt.h"
#include "dsp/NoiseReducer.h"
#include "dsp/NotchFilter.h"
#include "tools/PcmSource.h"

#include <cstdint>
#include <span>
#include <vector>

namespace keb
{

class TFilterChain
{
  public:
    static constexpr std::uint32_t PullBytes = 2000;
    static constexpr int PullSamples = PullBytes / 2;

    TFilterChain(TSampleSupply& supply, int sampleRate);
    ~TFilterChain();
    TFilterChain(const TFilterChain&) = delete;
    TFilterChain& operator=(const TFilterChain&) = delete;

    TPcmSource& Source() { return source_; }
    TMMEqualizer& Equalizer() { return equalizer_; }
    TMMNotchFilter& Notch() { return notch_; }
    TMMNoiseReducer& NoiseReducer() { return reducer_; }

    void Open();
    // Once configured: whether every output sample depends only on the stretch of
    // input within two engine frames before it, so that a second chain,
    // started on a frame and a pull boundary and run one period
    // (PeriodSamples) ahead of a point, agrees with this one from there on.
    // True when the equalizer filters with its block engine (or passes the
    // audio) and no cleanup stage acts: those adapt to all they have heard.
    bool Blockwise() const;
    // The least common multiple of the pull and the engine's frame (125
    // frames): the pattern of pulls against frames, and with it the silence
    // the engine puts in front of its output, repeats with this period.
    int PeriodSamples() const;
    // The next buffer's samples, valid until the next pull; `more` is false
    // once the source has ended (this buffer may still hold its last samples).
    std::span<const std::int16_t> Pull(bool& more);

  private:
    bool NotchActs() const;
    bool ReducerActs() const;
    // The components the buffers pass through, in chain order: a cleanup stage the run
    // leaves off is neither linked nor opened, so it prepares nothing it would not use.
    std::vector<TMMDSPComponent*> LinkedComponents();

    TPcmSource source_;
    TMMEqualizer equalizer_;
    TMMNotchFilter notch_;
    TMMNoiseReducer reducer_;
    TMMDSPComponent sink_;
    TMMWaveHdr* buffer_;
    bool opened_ = false;
};

} // namespace keb
