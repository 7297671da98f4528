#pragma once

// The kernel that the transforms of MMFFT.h run on now (see SelectFFTKernel there).

#include "dsp/MMFFT.h"
#include "dsp/MMFFTKernel.h"

namespace keb
{

const fft::TKernelOps& CurrentKernelOps();

} // namespace keb
