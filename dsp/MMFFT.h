#pragma once

// Single-precision FFT over power-of-two lengths, the window functions that go with it
// and two array helpers.
//
// Contract:
// - Lengths: complex plans of 2^1 .. 2^30 points, real plans of 2^1 .. 2^30 real points.
//   Orders outside 1 .. 30 yield no plan (2^31 does not fit the signed 32-bit length).
// - Data: complex arrays hold N values as interleaved (re, im) floats; real arrays N floats.
//   No alignment is required. Transforms work in place.
// - Scaling: ComplexFFT direction -1 is the inverse scaled by 1/N; 0 and above the unscaled
//   forward transform; any other negative value the forward transform scaled by 1/N.
//   RealFFT gives the unscaled forward transform as a packed half spectrum:
//   x[0] = X[0], x[1] = 0, x[2k] = Re X[k], x[2k+1] = Im X[k] for k = 1 .. N/2 - 1
//   (the Nyquist value X[N/2] is dropped).
// - Cost: every table is made once when the plan is created (by recurrence, in extended
//   precision). A transform allocates nothing, evaluates no sine or cosine and needs no
//   scratch memory.
// - Threads: a plan is read-only after creation, so one plan may serve several threads at
//   once on different arrays. Creating and releasing a plan are not synchronised: the owner
//   must not release a plan while a transform on it may run.
// - Missing plan or array: the transforms return without touching memory.
// - Kernels: the transforms run on a scalar kernel or on a vector kernel (128-bit, or 256-bit
//   where the processor has AVX and FMA). The best supported one is chosen at first use;
//   SelectFFTKernel overrides it (tests and benchmarks use it to cover every kernel). All
//   kernels agree to single-precision rounding.
//
// Implemented in: MMFFT.cpp (plans and transforms), MMFFTWindow.cpp (the window
// functions).

#include <cstdint>

namespace keb
{

enum TMMFFTWindow : int32_t
{
    fwRectangular,
    fwHamming,
    fwHanning,
    fwBlackman,
    fwGaussian,
    fwWelch,
    fwParzen
};

struct TComplexFFTPlan
{
    int32_t Order;       // m, N = 2^m
    int32_t N;           // complex points
    float InvN;          // 1/N
    int32_t* BitReverse; // N entries: i with its m low bits reversed
    float* Twiddles;     // N/4 entries (W^(j+1), W^(3(j+1))) as (re, im, re, im), W = e^(-2 pi i/N)
    float* StageTwiddles;      // the vector kernels' twiddles, laid out stage by stage
    float* SplitStageTwiddles; // the same for the 128-bit kernel, real and imaginary parts apart
    int32_t SwapCount;         // pairs i < BitReverse[i]
    int32_t* Swaps;            // those pairs (i, BitReverse[i]), so that reordering needs no test
};

struct TRealFFTPlan
{
    int32_t Order;       // m, N = 2^m real points
    int32_t N;           // real points
    float InvN;          // 1/N
    int32_t* BitReverse; // N/2 entries, order m - 1
    float* Twiddles;     // twiddle table of length N/2 (N/8 entries of four floats)
    float* Split;        // N/4 entries (cos((j+1) phi) / 2, 1/2 - sin((j+1) phi) / 2), phi = 2 pi/N
    float* StageTwiddles;      // the vector kernels' twiddles of the half-length complex transform
    float* SplitStageTwiddles; // the same for the 128-bit kernel, real and imaginary parts apart
    int32_t SwapCount;         // pairs i < BitReverse[i]
    int32_t* Swaps;            // those pairs (i, BitReverse[i])
};

// A new plan, or nullptr when the order is outside 1 .. 30 or memory is short.
TComplexFFTPlan* InitComplexFFT(int order);
// Releases the plan and its tables and sets the variable to nullptr; nullptr is ignored.
void DoneComplexFFT(TComplexFFTPlan*& plan);
// Transforms plan->N complex values of data in place (see Scaling above).
void ComplexFFT(const TComplexFFTPlan* plan, float* data, int direction);

TRealFFTPlan* InitRealFFT(int order);
void DoneRealFFT(TRealFFTPlan*& plan);
// Forward transform of plan->N real values into the packed half spectrum. Direction is
// accepted for symmetry with ComplexFFT; only the forward transform exists.
void RealFFT(const TRealFFTPlan* plan, float* data, int direction);

// The window value at index n for length L, rounded to single precision. The cosine
// windows are periodic in L; ordinals outside TMMFFTWindow give 1.
float FFTWindowValue(int window, int index, int length);
// table[i] = floor(FFTWindowValue(window, i, 2^order) * 32767 + 0.5), i = 0 .. 2^order - 1.
// Nothing happens for a missing table or an order outside 0 .. 30.
void BuildFFTWindowTable(int32_t* table, int window, int order);

// data[i] *= factor for i < count; nothing when count <= 0 or data is missing.
void ScaleFloats(int count, float factor, float* data);
// a[k] := a[k] * b[k] over count complex values (b not conjugated); nothing when count <= 0
// or an array is missing.
void MultiplyComplex(int count, float* a, const float* b);

enum class TFFTKernel
{
    Scalar,
    Vector128,
    Vector256
};

bool IsFFTKernelSupported(TFFTKernel kernel);
// Makes every later transform in the process use the kernel; false (and no change) when
// this processor cannot run it. Not meant to be called while transforms run elsewhere.
bool SelectFFTKernel(TFFTKernel kernel);
TFFTKernel CurrentFFTKernel();
const char* FFTKernelName(TFFTKernel kernel);

} // namespace keb
