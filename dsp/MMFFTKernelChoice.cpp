// Which kernel runs the transforms: the best one this processor runs, changeable through
// SelectFFTKernel.

#include "dsp/MMFFTKernelChoice.h"

#include "dsp/MMFFTKernel.h"

#include <atomic>

namespace keb
{

namespace
{

const fft::TKernelOps* KernelOps(TFFTKernel kernel)
{
    switch (kernel)
    {
    case TFFTKernel::Scalar:
        return &fft::ScalarKernel;
    case TFFTKernel::Vector128:
        return &fft::Vector128Kernel;
    case TFFTKernel::Vector256:
#ifdef KEB_FFT_HAS_VECTOR256
        return &fft::Vector256Kernel;
#else
        return nullptr;
#endif
    }
    return nullptr;
}

TFFTKernel InitialKernel()
{
    return IsFFTKernelSupported(TFFTKernel::Vector256) ? TFFTKernel::Vector256
                                                       : TFFTKernel::Vector128;
}

std::atomic<TFFTKernel>& ChosenKernel()
{
    static std::atomic<TFFTKernel> chosen{InitialKernel()};
    return chosen;
}

} // namespace

bool IsFFTKernelSupported(TFFTKernel kernel)
{
#ifdef KEB_FFT_HAS_VECTOR256
    if (kernel == TFFTKernel::Vector256)
    {
        __builtin_cpu_init(); // may run before the runtime's own initialisation
        return __builtin_cpu_supports("avx") && __builtin_cpu_supports("fma");
    }
#endif
    return KernelOps(kernel) != nullptr;
}

bool SelectFFTKernel(TFFTKernel kernel)
{
    if (!IsFFTKernelSupported(kernel))
    {
        return false;
    }
    ChosenKernel().store(kernel, std::memory_order_relaxed);
    return true;
}

TFFTKernel CurrentFFTKernel()
{
    return ChosenKernel().load(std::memory_order_relaxed);
}

const char* FFTKernelName(TFFTKernel kernel)
{
    switch (kernel)
    {
    case TFFTKernel::Scalar:
        return "scalar";
    case TFFTKernel::Vector128:
        return "vector128";
    case TFFTKernel::Vector256:
        return "vector256";
    }
    return "unknown";
}

const fft::TKernelOps& CurrentKernelOps()
{
    return *KernelOps(CurrentFFTKernel());
}

} // namespace keb
