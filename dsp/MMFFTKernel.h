#pragma once

// The interchangeable cores behind ComplexFFT, RealFFT and the array helpers. Each kernel
// computes the same split of a power-of-two transform into halves and quarters, so every
// kernel leaves the spectrum in bit-reversed order, which Reorder then puts in natural order.
//
// Implemented in: MMFFTScalar.cpp (SwapReorder and the scalar kernel),
// MMFFTVector128.cpp and MMFFTVector256.cpp (the vector kernels, MMFFTVector.h).

#include <cstdint>

namespace keb::fft
{

// The tables of one complex transform of N points (N >= 1).
struct TCoreTables
{
    int32_t N;
    const float* Twiddles;           // twiddle table of length N (see MMFFTTables.h)
    const float* StageTwiddles;      // stage table of length N (see MMFFTTables.h)
    const float* SplitStageTwiddles; // the same in the 128-bit kernel's layout, 16-byte aligned
    const int32_t* BitReverse;       // bit-reversal table of log2 N
    const int32_t* Swaps;            // the pairs (i, BitReverse[i]) with i < BitReverse[i]
    int32_t SwapCount;
};

// Exchanges the pairs of tables.Swaps: the reordering that every kernel can fall back on.
void SwapReorder(const TCoreTables& tables, float* data);

// The scalar part of SplitSpectrum below: the pairs of values k and half - k for
// k = first .. half/2, leaving value 0 alone.
void SplitSpectrumFrom(int32_t first, int32_t half, const float* split, float* data);

struct TKernelOps
{
    // In-place transform of tables.N complex values into bit-reversed order, every result
    // multiplied by scale. Inverse uses e^(+2 pi i nk/N).
    void (*Transform)(const TCoreTables& tables, float* data, bool inverse, float scale);
    // Transform followed by Reorder, in one go where the kernel can.
    void (*TransformOrdered)(const TCoreTables& tables, float* data, bool inverse, float scale);
    // Puts a bit-reversed array of tables.N complex values into natural order.
    void (*Reorder)(const TCoreTables& tables, float* data);
    // The inverse transform (e^(+2 pi i nk/N)) of a spectrum given in bit-reversed order,
    // every result multiplied by scale, left in natural order.
    void (*InverseScrambled)(const TCoreTables& tables, float* data, float scale);
    // Turns the spectrum Z of `half` complex values, the transform of a real array's
    // even/odd samples taken as complex values, into the first half of the real array's
    // spectrum X, in place (X[0] real, the Nyquist value dropped). With (a, b) from the split
    // table (see MMFFTTables.h): X[k] = Z[k] (b - ia) + conj Z[half-k] (1 - b + ia).
    void (*SplitSpectrum)(int32_t half, const float* split, float* data);
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
