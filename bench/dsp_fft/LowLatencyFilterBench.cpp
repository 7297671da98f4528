// The low-latency filter (direct form, 129 taps of the window's 256-point design) on blocks
// of a device period at 8000 Hz against the FFTW overlap-add peer with the same taps on the
// same blocks. The peer hands back each block only once it has N/2 samples, so on blocks
// shorter than that it adds up to N/2 samples of delay that ours does not; this shows what
// handing every block back at once costs.

#include "OverlapAddPeer.h"
#include "PeerComparison.h"
#include "dsp/LowLatencyFilter.h"

#include <random>
#include <vector>

namespace keb::bench
{
namespace
{

constexpr int Length = 256;

void LowLatencyBlocks(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const TWaveFormatEx format = FilterFormat();
    TFFTFilter* engine = InitFFTFilter(&format, Length, 65536);
    // The window's 1.8 kHz preset at shift 4: bands 4 .. 12 open.
    for (int band = 0; band < 20; ++band)
        SetFFTFilterBand(engine, 200.0f * band, 200.0f * (band + 1),
                         band >= 4 && band <= 12 ? 0.0f : -60.0f);
    std::vector<float> taps(TLowLatencyFilter::MaxTaps);
    taps.resize(static_cast<std::size_t>(FFTFilterTaps(engine, taps.data())));
    DoneFFTFilter(engine);
    std::vector<float> minimumPhase(taps.size());
    MinimumPhaseTaps(taps.data(), static_cast<int>(taps.size()), minimumPhase.data());
    TLowLatencyFilter filter(1);
    filter.SetTaps(minimumPhase.data(), static_cast<int>(minimumPhase.size()));
    TOverlapAddPeer peer(taps, Length, block);

    std::mt19937 generator(5);
    std::uniform_int_distribution<int> distribution(-12000, 12000);
    std::vector<int16_t> audio(static_cast<std::size_t>(block));
    for (auto& sample : audio)
        sample = static_cast<int16_t>(distribution(generator));
    std::vector<int16_t> ours(audio.size());
    std::vector<int16_t> theirs(audio.size());
    // A second of audio per batch.
    CompareWithPeer(
        state, 8000 / block,
        [&]
        {
            ours = audio;
            theirs = audio;
        },
        [&] { filter.Process(ours.data(), block, 0); },
        [&] { peer.Process(theirs.data(), block); });
    state.SetLabel("blocks of " + std::to_string(block) + " samples");
}

BENCHMARK(LowLatencyBlocks)->Arg(16)->Arg(64)->Arg(256)->UseManualTime();

} // namespace
} // namespace keb::bench
