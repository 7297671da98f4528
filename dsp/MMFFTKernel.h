#pragma once

// The interchangeable cores behind ComplexFFT, RealFFT and the array helpers. Each kernel
// computes the same split of a power-of-two transform into halves and quarters, so every
// kernel leaves the spectrum in bit-reversed order; the caller permutes.

#include <cstdint>

namespace keb::fft
{

// The tables of one complex transform of N points (N >= 1).
struct TCoreTables
{
    int32_t N;
    const float* Twiddles;      // twiddle table of length N (see MMFFTTables.h)
    const float* StageTwiddles; // stage table of length N (see MMFFTTables.h)
};

struct TKernelOps
{
    // In-place transform of tables.N complex values into bit-reversed order, every result
    // multiplied by scale. Inverse uses e^(+2 pi i nk/N).
    void (*Transform)(const TCoreTables& tables, float* data, bool inverse, float scale);
    void (*Multiply)(int count, float* a, const float* b);
    void (*Scale)(int count, float factor, float* data);
};

extern const TKernelOps ScalarKernel;
extern const TKernelOps Vector128Kernel;
#if defined(__x86_64__) || defined(__i386__)
#define KEB_FFT_HAS_VECTOR256 1
extern const TKernelOps Vector256Kernel;
#endif

} // namespace keb::fft
