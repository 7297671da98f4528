// Part of the FFT filter engine (MMFFTFlt.h): the gain table and the design of
// the response by windowed frequency sampling.

#include "dsp/MMFFTFlt.h"

#include "dsp/MMFFTConvolve.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace keb
{

namespace
{

// The stored gain of G dB. The extra 6 dB make up for the halving of the one-sided design,
// so that the whole filter passes 10^((G + 6)/20)/2 = 0.99763 * 10^(G/20).
float StoredGain(float decibels)
{
    return static_cast<float>(std::pow(10.0L, (static_cast<long double>(decibels) + 6) * 0.05L));
}

// Turns the gains into Response and Taps and publishes the response for the frames.
void Design(TFFTFilter* filter)
{
    int32_t n = filter->N;
    int32_t half = filter->Half;
    float work[2 * FFTFilterArraySize];
    float amplitudes[FFTFilterArraySize];
    for (int32_t k = 0; k <= half; ++k)
    {
        amplitudes[k] = filter->Gains[k];
    }
    amplitudes[0] *= 0.5f;
    amplitudes[half] *= 0.5f;
    // Bin k turned by k quarter turns (i^k): the impulse response comes out centred on
    // sample N/4.
    static constexpr float quarterTurnsRe[4] = {1, 0, -1, 0};
    static constexpr float quarterTurnsIm[4] = {0, 1, 0, -1};
    for (int32_t k = 0; k < n; ++k)
    {
        float a = k <= half ? amplitudes[k] : 0.0f;
        work[2 * k] = a * quarterTurnsRe[k % 4];
        work[2 * k + 1] = a * quarterTurnsIm[k % 4];
    }
    ComplexFFT(filter->Plan, work, 1);
    // Keep the first N/2 + 1 taps, shaped by a window of length N/2 that is symmetric about
    // N/4; the real part is the impulse response.
    for (int32_t t = 0; t < n; ++t)
    {
        float tap = t <= half ? filter->WindowValues[t] * work[2 * t] : 0.0f;
        work[2 * t] = tap;
        work[2 * t + 1] = 0.0f;
        if (t <= half)
        {
            filter->Taps[t] = tap / static_cast<float>(n);
        }
    }
    ComplexFFT(filter->Plan, work, -2);
    for (int32_t i = 0; i < 2 * n; ++i)
    {
        filter->Response[i] = work[i];
    }
    ScrambleSpectrum(filter->Plan, filter->Response, filter->Responses.Spare().data());
    filter->Responses.Publish();
}

} // namespace

void SetFFTFilterBand(TFFTFilter* filter, float f1, float f2, float gain)
{
    if (filter == nullptr || std::isnan(f1) || std::isnan(f2) || std::isnan(gain))
    {
        return;
    }
    float nyquist = static_cast<float>(filter->SampleRate / 2);
    if (!(f1 < nyquist))
    {
        f1 = nyquist - 1;
    }
    if (f2 > nyquist)
    {
        f2 = nyquist;
    }
    f1 = std::max(f1, 0.0f);
    f2 = std::max(f2, 0.0f);
    if (f1 > f2)
    {
        std::swap(f1, f2);
    }
    if (f1 == f2)
    {
        f2 = f2 + 1;
    }
    float binWidth = static_cast<float>(filter->SampleRate) / static_cast<float>(filter->N);
    // f1 = f2 just below SampleRate/2 widens f2 past it; at very low rates that is past bin N/2.
    int32_t k1 = std::min(static_cast<int32_t>(f1 / binWidth), filter->Half);
    int32_t k2 = std::min(static_cast<int32_t>(f2 / binWidth), filter->Half);
    float stored = StoredGain(gain);
    for (int32_t k = k1; k <= k2; ++k)
    {
        filter->Gains[k] = stored;
    }
    Design(filter);
}

int FFTFilterTaps(TFFTFilter* filter, float* taps)
{
    if (filter == nullptr)
    {
        return 0;
    }
    std::copy(filter->Taps, filter->Taps + filter->Half + 1, taps);
    return filter->Half + 1;
}

void SetFFTFilterWindow(TFFTFilter* filter, int window)
{
    if (filter == nullptr)
    {
        return;
    }
    filter->Window = window;
    for (int32_t t = 0; t <= filter->Half; ++t)
    {
        filter->WindowValues[t] = FFTWindowValue(window, t, filter->Half);
    }
    Design(filter);
}

} // namespace keb
