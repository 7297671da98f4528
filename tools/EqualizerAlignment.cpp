#include "tools/EqualizerAlignment.h"

#include "dsp/MMFFTFlt.h"
#include "tools/FilterChain.h"
#include "tools/FilterSettings.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace keb
{
namespace
{

constexpr std::int16_t ImpulseHeight = 16384;

// The length the engine filters with for the equalizer's FFT length.
int EngineFrameLength(int fftLength)
{
    TMMEqualizer equalizer(nullptr);
    equalizer.SetFFTLength(fftLength);
    return std::min(equalizer.FFTLength(), FFTFilterMaxLength);
}

} // namespace

TEqualizerAlignment MeasureEqualizerAlignment(int fftLength, TMMFFTWindow window, bool lowLatency)
{
    const int frame = EngineFrameLength(fftLength);
    const int cycle = frame / std::gcd(frame, TFilterChain::PullSamples);
    TEqualizerAlignment alignment;
    alignment.Priming = static_cast<std::int64_t>(cycle) * TFilterChain::PullSamples;

    // After the impulse the delay can be at most one frame plus a pull.
    std::vector<std::int16_t> probe(
        static_cast<std::size_t>(frame + 2 * TFilterChain::PullSamples));
    probe[0] = ImpulseHeight;
    TMemorySupply supply(probe);
    TFilterChain chain(supply, FilterSampleRate);
    chain.Source().SetLeadingSilence(alignment.Priming);
    chain.Equalizer().SetSampleRate(FilterSampleRate);
    chain.Equalizer().SetChannel(chLeft);
    chain.Equalizer().SetFFTLength(fftLength);
    chain.Equalizer().SetWindow(window);
    chain.Equalizer().SetLowLatency(lowLatency);
    chain.Open();

    std::int64_t position = -alignment.Priming;
    bool more = true;
    while (more)
    {
        for (std::int16_t sample : chain.Pull(more))
        {
            if (std::abs(sample) > ImpulseHeight / 2)
            {
                alignment.Delay = position;
                return alignment;
            }
            ++position;
        }
    }
    throw Exception("the equalizer did not pass a probe impulse");
}

} // namespace keb
