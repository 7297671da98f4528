#pragma once

// The peer of the engine in the benchmark: an overlap-add FIR filter on FFTW's real
// transforms, as one would write it on that library. It filters 16-bit mono audio in place
// with the same taps and the same FFT length N as the engine: blocks of N/2 samples, zero
// padded to N, r2c, multiply by the taps' spectrum, c2r, overlap-add, clip. Audio it cannot
// hand back yet comes out as silence in front, like the engine's.

#include <cstdint>
#include <fftw3.h>
#include <vector>

namespace keb::bench
{

class TOverlapAddPeer
{
  public:
    // taps: N/2 + 1 values; maxCall: the largest call in samples.
    TOverlapAddPeer(const std::vector<float>& taps, int n, int maxCall);
    ~TOverlapAddPeer();
    TOverlapAddPeer(const TOverlapAddPeer&) = delete;
    TOverlapAddPeer& operator=(const TOverlapAddPeer&) = delete;

    void Process(int16_t* samples, int count);

  private:
    void FilterBlock(const int16_t* block);

    int n_;
    int hop_;
    float* time_;
    fftwf_complex* bins_;
    fftwf_complex* kernel_;
    fftwf_plan forward_;
    fftwf_plan backward_;
    std::vector<float> overlap_;
    std::vector<int16_t> inQueue_;
    int inFill_ = 0;
    std::vector<int16_t> outQueue_;
    int outFill_ = 0;
};

} // namespace keb::bench
