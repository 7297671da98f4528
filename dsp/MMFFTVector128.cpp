#include "dsp/MMFFTVector.h"

namespace keb::fft
{

const TKernelOps Vector128Kernel{VectorTransform<Float4>, VectorReorder<Double2>,
                                 VectorMultiply<Float4>, VectorScale<Float4>};

} // namespace keb::fft
