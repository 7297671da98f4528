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

class OverlapAddPeer
{
  public:
    // taps: N/2 + 1 values; maxCall: the largest call in samples.
    OverlapAddPeer(const std::vector<float>& taps, int n, int maxCall);
    ~OverlapAddPeer();
    OverlapAddPeer(const OverlapAddPeer&) = delete;
    OverlapAddPeer& operator=(const OverlapAddPeer&) = delete;

    void Process(int16_t* samples, int count);

  private:
    void FilterBlock(const int16_t* block);

    int N;
    int Hop;
    float* Time;
    fftwf_complex* Bins;
    fftwf_complex* Kernel;
    fftwf_plan Forward;
    fftwf_plan Backward;
    std::vector<float> Overlap;
    std::vector<int16_t> InQueue;
    int InFill = 0;
    std::vector<int16_t> OutQueue;
    int OutFill = 0;
};

} // namespace keb::bench
