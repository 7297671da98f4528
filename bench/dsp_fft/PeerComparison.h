#pragma once

// Measures our code and its FFTW peer in the same run, batch by batch in turn, so that both
// see the same machine state. Each line reports our time per call, the peer's time per
// call and the ratio ours / peer; the benchmark's own time column is ours per batch.

#include "dsp/MMFFT.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <vector>

namespace keb::bench
{

// The FFT kernels as benchmark arguments: 0 scalar, 1 vector128, 2 vector256.
inline const std::vector<std::int64_t> KernelArguments{0, 1, 2};

// Selects the kernel named by the benchmark argument at `index` and labels the line with
// it; false (the line is skipped) when this processor cannot run it.
inline bool SelectKernelArgument(benchmark::State& state, int index)
{
    auto kernel = static_cast<TFFTKernel>(state.range(index));
    if (!SelectFFTKernel(kernel))
    {
        state.SkipWithError("kernel not supported here");
        return false;
    }
    state.SetLabel(FFTKernelName(kernel));
    return true;
}

template <class Prepare, class Ours, class Peer>
void CompareWithPeer(benchmark::State& state, int batch, Prepare prepare, Ours ours, Peer peer)
{
    using Clock = std::chrono::steady_clock;
    std::chrono::duration<double> oursTime{0};
    std::chrono::duration<double> peerTime{0};
    std::int64_t calls = 0;
    for (auto _ : state)
    {
        prepare();
        auto start = Clock::now();
        for (int i = 0; i < batch; ++i)
        {
            ours();
        }
        auto middle = Clock::now();
        for (int i = 0; i < batch; ++i)
        {
            peer();
        }
        auto end = Clock::now();
        oursTime += middle - start;
        peerTime += end - middle;
        calls += batch;
        state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
    }
    state.counters["ours_ns"] = oursTime.count() / static_cast<double>(calls) * 1e9;
    state.counters["fftw_ns"] = peerTime.count() / static_cast<double>(calls) * 1e9;
    state.counters["ratio"] = oursTime.count() / peerTime.count();
}

} // namespace keb::bench
