#include "tools/EqualizerResponse.h"

#include "dsp/MMFFTFlt.h"
#include "tools/FilterSettings.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>

namespace keb
{
namespace
{

// The impulse's height inside the engine's 32-bit frame: large enough that
// truncating the output keeps the taps far below the -60 dB of a closed band.
constexpr double ImpulseHeight = 1 << 20;

struct TEngineDeleter
{
    void operator()(TFFTFilter* engine) const { DoneFFTFilter(engine); }
};

// The taps h[0 .. N/2] of the equalizer's engine: one frame holding an
// impulse at its first sample comes back as the taps (a fresh engine has no
// overlap to add).
std::vector<double> EngineTaps(const TMMEqualizer& equalizer)
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, FilterSampleRate);
    std::unique_ptr<TFFTFilter, TEngineDeleter> engine(
        InitFFTFilter(&format, equalizer.FFTLength(), 8192));
    if (!engine)
        throw EOutOfMemory("no memory for the equalizer's response");
    SetFFTFilterWindow(engine.get(), equalizer.Window());
    SetFFTFilterBand(engine.get(), 0, FilterSampleRate * 0.5f, 0);
    const TMMEQFilterList& bands = *equalizer.Filters();
    for (int index = 0; index < bands.Count(); ++index)
        if (bands.Items(index)->Enabled())
            SetFFTFilterBand(engine.get(), bands.Items(index)->F1(), bands.Items(index)->F2(),
                             bands.Items(index)->Gain());
    std::fill(std::begin(engine->Channel[0].Frame), std::end(engine->Channel[0].Frame), 0);
    engine->Channel[0].Frame[0] = static_cast<std::int32_t>(ImpulseHeight);
    FilterFrame(engine.get(), 0);
    std::vector<double> taps(static_cast<std::size_t>(engine->Half + 1));
    for (std::size_t t = 0; t < taps.size(); ++t)
        taps[t] = engine->Channel[0].Frame[t] / ImpulseHeight;
    return taps;
}

double Decibels(const std::vector<double>& taps, double frequency)
{
    std::complex<double> sum = 0;
    for (std::size_t t = 0; t < taps.size(); ++t)
        sum += taps[t] * std::polar(1.0, -2 * std::numbers::pi * frequency *
                                             static_cast<double>(t) / FilterSampleRate);
    return std::max(ResponseFloor, 20 * std::log10(std::abs(sum)));
}

} // namespace

std::vector<TResponsePoint> EqualizerResponse(const TFilterOptions& options,
                                              const TBandPositions& positions, int points)
{
    TMMEqualizer equalizer(nullptr);
    ConfigureEqualizer(equalizer, options, positions);
    const std::vector<double> taps =
        equalizer.Enabled() ? EngineTaps(equalizer) : std::vector<double>{1.0};
    std::vector<TResponsePoint> response;
    for (int point = 0; point < points; ++point)
    {
        double frequency = FilterSampleRate * 0.5 * point / (points - 1);
        response.push_back({frequency, Decibels(taps, frequency)});
    }
    return response;
}

} // namespace keb
