// Part of the vector kernels (MMFFTVector.h): their 128-bit compilation with
// the baseline instruction set.
#include "dsp/MMFFTVector.h"

namespace keb::fft
{

const TKernelOps Vector128Kernel{VectorTransform<Float4, false>,
                                 VectorTransform<Float4, true>,
                                 VectorReorder<Float4>,
                                 VectorInverseScrambled<Float4>,
                                 VectorSplitSpectrum<Float4>,
                                 VectorMultiply<Float4>,
                                 VectorScale<Float4>};

} // namespace keb::fft
