#pragma once

// Shared by the transform and engine tests: run a test once per FFT kernel that this
// processor supports, with that kernel selected.

#include "dsp/MMFFT.h"

#include <gtest/gtest.h>

namespace keb::test
{

class KernelTest : public ::testing::TestWithParam<TFFTKernel>
{
  protected:
    void SetUp() override
    {
        if (!IsFFTKernelSupported(GetParam()))
        {
            GTEST_SKIP() << FFTKernelName(GetParam()) << " is not supported here";
        }
        previous_ = CurrentFFTKernel();
        ASSERT_TRUE(SelectFFTKernel(GetParam()));
    }

    void TearDown() override { SelectFFTKernel(previous_); }

    TFFTKernel previous_ = TFFTKernel::Scalar;
};

inline std::string KernelTestName(const ::testing::TestParamInfo<TFFTKernel>& info)
{
    return FFTKernelName(info.param);
}

#define KEB_INSTANTIATE_FOR_KERNELS(Suite)                                                         \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Kernels, Suite,                                                                            \
        ::testing::Values(TFFTKernel::Scalar, TFFTKernel::Vector128, TFFTKernel::Vector256),       \
        KernelTestName)

} // namespace keb::test
