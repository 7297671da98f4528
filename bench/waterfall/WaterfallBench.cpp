// One waterfall column at the program's settings (16-bit mono, N 256, 293
// rows): the analysis of a block plus writing its column, measured batch by
// batch in turn with the real FFT of the same length alone, so that the
// FFT's share of a column comes from one run on one machine state.
#include "display/MMSpGramWaterfall.h"
#include "tests/display/ToneBlocks.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace keb
{
namespace
{

void WaterfallColumn(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    using Seconds = std::chrono::duration<double>;
    constexpr int Batch = 200;
    TMMDIBCanvas canvas;
    TMMWaterfall waterfall(canvas);
    waterfall.SetSampleRate(8000);
    waterfall.SetBitLength(b16Bit);
    waterfall.SetFFTLength(256);
    waterfall.SetAmplitudeScale(50);
    waterfall.SetAccelerate(false);
    waterfall.SetScroll(state.range(0) != 0);
    waterfall.SetPictureSize(114, 293);
    waterfall.ApplyPalette();
    TToneSource tone(1000, 8000, 3000, 500);
    std::vector<std::vector<std::uint8_t>> blocks;
    for (int i = 0; i < 16; ++i)
        blocks.push_back(tone.Next(256));

    TRealFFTPlan* plan = InitRealFFT(8);
    std::vector<float> frame(257);
    Seconds columnBest = Seconds::max();
    Seconds fftBest = Seconds::max();
    for (auto _ : state)
    {
        auto start = Clock::now();
        for (int i = 0; i < Batch; ++i)
            waterfall.ProcessBlock(blocks[i % blocks.size()].data());
        auto middle = Clock::now();
        for (int i = 0; i < Batch; ++i)
        {
            std::copy_n(reinterpret_cast<const std::int16_t*>(blocks[i % blocks.size()].data()),
                        256, frame.begin());
            RealFFT(plan, frame.data(), 1);
            benchmark::DoNotOptimize(frame.data());
        }
        auto end = Clock::now();
        columnBest = std::min<Seconds>(columnBest, middle - start);
        fftBest = std::min<Seconds>(fftBest, end - middle);
        state.SetIterationTime(Seconds(middle - start).count());
    }
    DoneRealFFT(plan);
    state.SetLabel(state.range(0) ? "scroll" : "wipe");
    state.counters["column_us"] = columnBest.count() / Batch * 1e6;
    state.counters["fft_us"] = fftBest.count() / Batch * 1e6;
    state.counters["fft_share"] = fftBest.count() / columnBest.count();
}

BENCHMARK(WaterfallColumn)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace keb
