#pragma once

// Measures our code and its FFTW peer in the same run, batch by batch in turn (ours first in
// one repetition, the peer's first in the next), so that both see the same machine state.
// Each line reports our time per call and the peer's (each the median of its batches), the
// ratio ours / peer as the median over the repetitions of the ratio of the two batches timed
// side by side (what a shared, busy machine moves least: a slow spell slows both batches of a
// repetition alike), and the ratio of the two fastest batches for comparison; the benchmark's
// own time column is ours per batch, averaged as usual.

#include "dsp/MMFFT.h"
#include "platform/audio/WaveFormatRecord.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstddef>
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

// The median of the values (which it reorders); 0 when there are none.
inline double Median(std::vector<double>& values)
{
    if (values.empty())
    {
        return 0.0;
    }
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

template <class Prepare, class Ours, class Peer>
void CompareWithPeer(benchmark::State& state, int batch, Prepare prepare, Ours ours, Peer peer)
{
    using TClock = std::chrono::steady_clock;
    using TSeconds = std::chrono::duration<double>;
    auto timeBatch = [batch](auto& code)
    {
        auto start = TClock::now();
        for (int i = 0; i < batch; ++i)
        {
            code();
        }
        return TSeconds(TClock::now() - start).count();
    };
    std::vector<double> oursSeconds;
    std::vector<double> peerSeconds;
    std::vector<double> ratios;
    bool oursFirst = true;
    for (auto _ : state)
    {
        prepare();
        double oursTime = 0.0;
        double peerTime = 0.0;
        if (oursFirst)
        {
            oursTime = timeBatch(ours);
            peerTime = timeBatch(peer);
        }
        else
        {
            peerTime = timeBatch(peer);
            oursTime = timeBatch(ours);
        }
        oursFirst = !oursFirst;
        oursSeconds.push_back(oursTime);
        peerSeconds.push_back(peerTime);
        ratios.push_back(oursTime / peerTime);
        state.SetIterationTime(oursTime);
    }
    if (ratios.empty())
    {
        return;
    }
    double oursBest = *std::min_element(oursSeconds.begin(), oursSeconds.end());
    double peerBest = *std::min_element(peerSeconds.begin(), peerSeconds.end());
    state.counters["ours_ns"] = Median(oursSeconds) / batch * 1e9;
    state.counters["fftw_ns"] = Median(peerSeconds) / batch * 1e9;
    state.counters["ratio"] = Median(ratios);
    state.counters["ratio_fastest"] = oursBest / peerBest;
}

} // namespace keb::bench
