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

struct TFloatBuffer
{
    explicit TFloatBuffer(std::size_t count) : Data(fftwf_alloc_real(count)) {}
    ~TFloatBuffer() { fftwf_free(Data); }
    TFloatBuffer(const TFloatBuffer&) = delete;
    TFloatBuffer& operator=(const TFloatBuffer&) = delete;
    float* Data;
};

int OrderOf(int n)
{
    int order = 0;
    while ((1 << order) < n)
    {
        ++order;
    }
    return order;
}

// Our transform and FFTW's plan on the same random input of `floats` floats, each in its own
// buffer (FFTW's holds peerFloats).
template <class Ours, class MakePeer>
void CompareTransforms(benchmark::State& state, std::size_t floats, std::size_t peerFloats,
                       Ours ours, MakePeer makePeer)
{
    std::vector<float> input = RandomFloats(floats);
    TFloatBuffer mine(floats);
    TFloatBuffer theirs(peerFloats);
    fftwf_plan peer = makePeer(theirs.Data);
    CompareWithPeer(
        state, Batch,
        [&]
        {
            std::memcpy(mine.Data, input.data(), floats * sizeof(float));
            std::memcpy(theirs.Data, input.data(), floats * sizeof(float));
        },
        [&] { ours(mine.Data); }, [&] { fftwf_execute(peer); });
    fftwf_destroy_plan(peer);
}

void ComplexTransform(benchmark::State& state)
{
    int n = static_cast<int>(state.range(0));
    if (!SelectKernelArgument(state, 1))
    {
        return;
    }
    std::size_t floats = 2 * static_cast<std::size_t>(n);
    TComplexFFTPlan* plan = InitComplexFFT(OrderOf(n));
    CompareTransforms(
        state, floats, floats, [&](float* data) { ComplexFFT(plan, data, 1); },
        [&](float* data)
        {
            auto* values = reinterpret_cast<fftwf_complex*>(data);
            return fftwf_plan_dft_1d(n, values, values, FFTW_FORWARD, FFTW_MEASURE);
        });
    DoneComplexFFT(plan);
}

void RealTransform(benchmark::State& state)
{
    int n = static_cast<int>(state.range(0));
    if (!SelectKernelArgument(state, 1))
    {
        return;
    }
    std::size_t floats = static_cast<std::size_t>(n);
    TRealFFTPlan* plan = InitRealFFT(OrderOf(n));
    // FFTW in place needs room for the Nyquist bin.
    CompareTransforms(
        state, floats, floats + 2, [&](float* data) { RealFFT(plan, data, 1); },
        [&](float* data) {
            return fftwf_plan_dft_r2c_1d(n, data, reinterpret_cast<fftwf_complex*>(data),
                                         FFTW_MEASURE);
        });
    DoneRealFFT(plan);
}

BENCHMARK(ComplexTransform)
    ->ArgsProduct({{64, 256, 512, 1024, 2048, 4096}, KernelArguments})
    ->UseManualTime();
BENCHMARK(RealTransform)->ArgsProduct({{256, 1024}, KernelArguments})->UseManualTime();

} // namespace
} // namespace keb::bench
