// DoFFTFilter on mono 8000 Hz audio in 2000-byte calls against the FFTW overlap-add peer
// with the same taps.

#include "OverlapAddPeer.h"
#include "PeerComparison.h"
#include "dsp/MMFFTFlt.h"

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace keb::bench
{
namespace
{

constexpr int CallSamples = 1000;

// The engine's effective taps 0 .. N/2 (its frame transform divides by N on the way back).
std::vector<float> EngineTaps(const TFFTFilter& filter)
{
    int n = filter.N;
    std::vector<float> taps(static_cast<std::size_t>(n / 2 + 1));
    for (int t = 0; t <= n / 2; ++t)
    {
        std::complex<double> sum = 0;
        for (int k = 0; k < n; ++k)
        {
            double angle = 2 * M_PI * static_cast<double>((static_cast<long>(k) * t) % n) / n;
            sum += std::complex<double>(filter.Response[2 * k], filter.Response[2 * k + 1]) *
                   std::polar(1.0, angle);
        }
        taps[static_cast<std::size_t>(t)] = static_cast<float>(sum.real() / n);
    }
    return taps;
}

std::vector<int16_t> RandomSamples(std::size_t count)
{
    std::mt19937 generator(2);
    std::uniform_int_distribution<int> distribution(-12000, 12000);
    std::vector<int16_t> samples(count);
    for (auto& s : samples)
    {
        s = static_cast<int16_t>(distribution(generator));
    }
    return samples;
}

// Both filters on one call of whole blocks (no silence in front of either): the outputs must
// agree, or the comparison would not be fair.
bool PeerMatchesEngine(TFFTFilter* engine, TOverlapAddPeer& peer, int n)
{
    std::vector<int16_t> ours = RandomSamples(static_cast<std::size_t>(4 * n));
    std::vector<int16_t> theirs = ours;
    DoFFTFilter(engine, 0, ours.data(), static_cast<int>(ours.size() * 2));
    peer.Process(theirs.data(), static_cast<int>(theirs.size()));
    for (std::size_t i = 0; i < ours.size(); ++i)
    {
        if (std::abs(ours[i] - theirs[i]) > 1)
        {
            return false;
        }
    }
    return true;
}

void FilterStream(benchmark::State& state)
{
    int n = static_cast<int>(state.range(0));
    if (!SelectKernelArgument(state, 1))
    {
        return;
    }
    const TWaveFormatEx format = FilterFormat();
    TFFTFilter* engine = InitFFTFilter(&format, n, 65536);
    // The window's twenty 200 Hz bands, shaped like a 2.6 kHz band-pass.
    for (int band = 0; band < 20; ++band)
    {
        float gain = (band >= 1 && band <= 13) ? 0.0f : -40.0f;
        SetFFTFilterBand(engine, 200.0f * band, 200.0f * (band + 1), gain);
    }
    TOverlapAddPeer peer(EngineTaps(*engine), n, 32768);
    if (!PeerMatchesEngine(engine, peer, n))
    {
        state.SkipWithError("the peer's output differs from the engine's");
    }
    ResetFFTFilter(engine);
    std::vector<int16_t> audio = RandomSamples(CallSamples);
    std::vector<int16_t> ours(CallSamples);
    std::vector<int16_t> theirs(CallSamples);
    CompareWithPeer(
        state, 8,
        [&]
        {
            ours = audio;
            theirs = audio;
        },
        [&] { DoFFTFilter(engine, 0, ours.data(), 2 * CallSamples); },
        [&] { peer.Process(theirs.data(), CallSamples); });
    DoneFFTFilter(engine);
}

BENCHMARK(FilterStream)->ArgsProduct({{256, 1024}, KernelArguments})->UseManualTime();

} // namespace
} // namespace keb::bench
