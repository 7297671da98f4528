// Part of the vector kernels (MMFFTVector.h): their 256-bit compilation, with
// AVX and FMA enabled (see CMakeLists.txt); reached only through the dispatch in
// MMFFT.cpp after the processor has been asked for both.

#include "dsp/MMFFTVector.h"

namespace keb::fft
{

const TKernelOps Vector256Kernel{VectorTransform<TFloat8, false>,
                                 VectorTransform<TFloat8, true>,
                                 VectorReorder<TFloat8>,
                                 VectorInverseScrambled<TFloat8>,
                                 VectorSplitSpectrum<TFloat8>,
                                 VectorMultiply<TFloat8>,
                                 VectorScale<TFloat8>};

} // namespace keb::fft
