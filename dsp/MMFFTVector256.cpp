// Part of the vector kernels (MMFFTVector.h): their 256-bit compilation, with
// AVX and FMA enabled (see CMakeLists.txt); reached only through the dispatch in
// MMFFT.cpp after the processor has been asked for both.

#include "dsp/MMFFTVector.h"

namespace keb::fft
{

const TKernelOps Vector256Kernel{VectorTransform<Float8, false>,
                                 VectorTransform<Float8, true>,
                                 VectorReorder<Float8>,
                                 VectorInverseScrambled<Float8>,
                                 VectorSplitSpectrum<Float8>,
                                 VectorMultiply<Float8>,
                                 VectorScale<Float8>};

} // namespace keb::fft
