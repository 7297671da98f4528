#pragma once

// Measures our code and its FFTW peer in the same run, batch by batch in turn, so that both
// see the same machine state. Each line reports our time per call, the peer's time per call
// (each from its fastest batch, which a shared, busy machine disturbs least) and the ratio
// ours / peer; the benchmark's own time column is ours per batch, averaged as usual.

#include "dsp/MMFFT.h"
#include "platform/audio/WaveFormatRecord.h"

#include <algorithm>
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

// The filter benchmarks' audio: 16-bit mono at 8000 Hz, as the window's chain.
inline TWaveFormatEx FilterFormat()
{
    TWaveFormatEx format{};
    format.wFormatTag = WaveFormatPcm;
    format.nChannels = 1;
    format.nSamplesPerSec = 8000;
    format.nAvgBytesPerSec = 16000;
    format.nBlockAlign = 2;
    format.wBitsPerSample = 16;
    return format;
}

template <class Prepare, class Ours, class Peer>
void CompareWithPeer(benchmark::State& state, int batch, Prepare prepare, Ours ours, Peer peer)
{
    using TClock = std::chrono::steady_clock;
    using TSeconds = std::chrono::duration<double>;
    TSeconds oursBest = TSeconds::max();
    TSeconds peerBest = TSeconds::max();
    for (auto _ : state)
    {
        prepare();
        auto start = TClock::now();
        for (int i = 0; i < batch; ++i)
        {
            ours();
        }
        auto middle = TClock::now();
        for (int i = 0; i < batch; ++i)
        {
            peer();
        }
        auto end = TClock::now();
        oursBest = std::min<TSeconds>(oursBest, middle - start);
        peerBest = std::min<TSeconds>(peerBest, end - middle);
        state.SetIterationTime(TSeconds(middle - start).count());
    }
    state.counters["ours_ns"] = oursBest.count() / batch * 1e9;
    state.counters["fftw_ns"] = peerBest.count() / batch * 1e9;
    state.counters["ratio"] = oursBest.count() / peerBest.count();
}

} // namespace keb::bench
