// ComplexFFT and RealFFT against single-precision FFTW with measured plans.

#include "PeerComparison.h"
#include "dsp/MMFFT.h"

#include <cstring>
#include <fftw3.h>
#include <random>
#include <vector>

namespace keb::bench
{
namespace
{

// Few enough transforms in a row that repeated forward transforms of values near 1 stay
// far from overflow even at 4096 points.
constexpr int Batch = 8;

std::vector<float> RandomFloats(std::size_t count)
{
    std::mt19937 generator(1);
    std::uniform_real_distribution<float> distribution(-1.0f, 1.0f);
    std::vector<float> values(count);
    for (float& v : values)
    {
        v = distribution(generator);
    }
    return values;
}

struct FloatBuffer
{
    explicit FloatBuffer(std::size_t count) : Data(fftwf_alloc_real(count)) {}
    ~FloatBuffer() { fftwf_free(Data); }
    FloatBuffer(const FloatBuffer&) = delete;
    FloatBuffer& operator=(const FloatBuffer&) = delete;
    float* Data;
};

void ComplexTransform(benchmark::State& state)
{
    int n = static_cast<int>(state.range(0));
    int order = 0;
    while ((1 << order) < n)
    {
        ++order;
    }
    std::vector<float> input = RandomFloats(2 * static_cast<std::size_t>(n));
    std::size_t bytes = input.size() * sizeof(float);
    FloatBuffer ours(input.size());
    FloatBuffer theirs(input.size());
    TComplexFFTPlan* plan = InitComplexFFT(order);
    auto* complexData = reinterpret_cast<fftwf_complex*>(theirs.Data);
    fftwf_plan peer = fftwf_plan_dft_1d(n, complexData, complexData, FFTW_FORWARD, FFTW_MEASURE);
    CompareWithPeer(
        state, Batch,
        [&]
        {
            std::memcpy(ours.Data, input.data(), bytes);
            std::memcpy(theirs.Data, input.data(), bytes);
        },
        [&] { ComplexFFT(plan, ours.Data, 1); }, [&] { fftwf_execute(peer); });
    fftwf_destroy_plan(peer);
    DoneComplexFFT(plan);
    state.SetLabel(FFTKernelName(CurrentFFTKernel()));
}

void RealTransform(benchmark::State& state)
{
    int n = static_cast<int>(state.range(0));
    int order = 0;
    while ((1 << order) < n)
    {
        ++order;
    }
    std::vector<float> input = RandomFloats(static_cast<std::size_t>(n));
    std::size_t bytes = input.size() * sizeof(float);
    FloatBuffer ours(input.size());
    FloatBuffer theirs(input.size() + 2); // in place: room for the Nyquist bin
    TRealFFTPlan* plan = InitRealFFT(order);
    fftwf_plan peer = fftwf_plan_dft_r2c_1d(
        n, theirs.Data, reinterpret_cast<fftwf_complex*>(theirs.Data), FFTW_MEASURE);
    CompareWithPeer(
        state, Batch,
        [&]
        {
            std::memcpy(ours.Data, input.data(), bytes);
            std::memcpy(theirs.Data, input.data(), bytes);
        },
        [&] { RealFFT(plan, ours.Data, 1); }, [&] { fftwf_execute(peer); });
    fftwf_destroy_plan(peer);
    DoneRealFFT(plan);
    state.SetLabel(FFTKernelName(CurrentFFTKernel()));
}

BENCHMARK(ComplexTransform)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096)->UseManualTime();
BENCHMARK(RealTransform)->Arg(256)->Arg(1024)->UseManualTime();

} // namespace
} // namespace keb::bench
