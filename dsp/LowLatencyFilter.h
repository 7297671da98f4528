#pragma once

// The equalizer's low-latency filter: a direct-form FIR filter over 16-bit PCM that hands
// back every sample in the same call that brought it in. The FFT filter engine filters whole
// frames, so a block shorter than its frame waits for the rest; this filter has no frame and
// no queue: its only delay is the group delay of its taps, whatever size the blocks are. The
// taps are those of the FFT engine's own design (FFTFilterTaps), so both filter alike; they
// may be turned into their minimum-phase equivalent (MinimumPhaseTaps), which keeps the
// magnitude response and moves the delay of a linear-phase filter (half its length) to
// almost nothing. At 8000 Hz a 129-tap filter costs about a million multiply-adds a second
// per channel, less than the FFT engine's frames would cost for blocks of a few samples; they
// run on vectors, 16 outputs at a time.
//
// Threads:
// - SetTaps runs in one thread (the main thread) at a time, while audio flows: it fills a
//   spare set of taps and publishes it in one atomic exchange; Process takes the newest set
//   at the start of its next call. Neither side waits for the other and nothing is
//   allocated after construction.
// - Process runs in one audio thread at a time. Reset must not overlap a Process.
//
// Clamped silently: the tap count to 1 .. MaxTaps; the channel count to 1 .. 2. The
// selection is the TMMChannel ordinal: 1 left only, 2 right only, anything else both; mono
// always filters its one channel. Output values beyond the 16-bit range are clipped and
// Process reports it.

#include "dsp/MMFFTFlt.h"
#include "platform/core/TripleBuffer.h"

#include <array>
#include <cstdint>
#include <vector>

namespace keb
{

class TLowLatencyFilter
{
  public:
    static constexpr int MaxTaps = FFTFilterMaxLength / 2 + 1;

    // A filter that passes its input unchanged (one tap of 1) until SetTaps.
    explicit TLowLatencyFilter(int channels);

    void SetTaps(const float* taps, int count);
    // Filters frames interleaved frames of samples in place; true when a value was clipped.
    bool Process(std::int16_t* samples, int frames, int selection);
    // Forgets the input history (silence before the next sample).
    void Reset();

  private:
    static constexpr int ChunkFrames = 256; // frames filtered per pass over the history
    static constexpr int HistoryFrames = MaxTaps - 1;

    struct TTapSet
    {
        int Count = 1;
        // Tap Count - 1 - j at j; by default one tap of 1, which passes the input unchanged.
        std::array<float, MaxTaps> Reversed{1.0f};
    };

    bool FilterChunk(std::int16_t* samples, int frames, int channel);

    int channels_;
    // SetTaps publishes, Process takes the newest.
    TTripleBuffer<TTapSet> tapSets_;
    // Per channel: HistoryFrames past inputs, then the chunk being filtered.
    std::vector<float> lines_;
};

// The minimum-phase filter with the magnitude response of the count taps (by the real
// cepstrum, on a transform of 4096 points): result gets count taps. The magnitude is kept
// down to 120 dB below its peak; deeper notches come out 120 dB down. Allocates; for the main
// thread.
void MinimumPhaseTaps(const float* taps, int count, float* result);

} // namespace keb
