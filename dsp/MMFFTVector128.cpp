// Part of the vector kernels (MMFFTVector.h): their 128-bit compilation with
// the baseline instruction set.
#include "dsp/MMFFTVector.h"

namespace keb::fft
{

const TKernelOps Vector128Kernel{VectorTransform<TFloat4, false>,
                                 VectorTransform<TFloat4, true>,
                                 VectorReorder<TFloat4>,
                                 VectorInverseScrambled<TFloat4>,
                                 VectorSplitSpectrum<TFloat4>,
                                 VectorMultiply<TFloat4>,
                                 VectorScale<TFloat4>};

} // namespace keb::fft
