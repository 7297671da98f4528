// One frame of the overlap-add convolution.

#include "dsp/MMFFTFlt.h"

#include <cmath>
#include <limits>

namespace keb
{

namespace
{

// trunc(value) as a 32-bit integer; values beyond its range saturate, NaN gives 0.
int32_t TruncateSaturated(float value)
{
    constexpr float limit = 2147483520.0f; // the largest float below 2^31
    if (!(value == value))
    {
        return 0;
    }
    if (value >= limit)
    {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= -limit)
    {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

} // namespace

// Two consecutive half-frames travel as the real and the imaginary part of one complex
// transform; the response belongs to a real filter, so they stay apart. Each half-frame of
// N/2 samples convolved with N/2 + 1 taps needs exactly N samples, so nothing wraps around.
void FilterFrame(TFFTFilter* filter, int channel)
{
    int32_t half = filter->Half;
    int32_t* samples = filter->Channel[channel].Frame;
    float* overlap = filter->Channel[channel].Overlap;
    float* work = filter->Work;
    std::lock_guard<std::mutex> guard(filter->Lock);
    for (int32_t j = 0; j < half; ++j)
    {
        work[2 * j] = static_cast<float>(samples[j]);
        work[2 * j + 1] = static_cast<float>(samples[half + j]);
        work[2 * (half + j)] = 0.0f;
        work[2 * (half + j) + 1] = 0.0f;
    }
    ComplexFFT(filter->Plan, work, 1);
    MultiplyComplex(filter->N, work, filter->Response);
    ComplexFFT(filter->Plan, work, -1);
    for (int32_t j = 0; j < half; ++j)
    {
        samples[j] = TruncateSaturated(work[2 * j] + overlap[j]);
        samples[half + j] = TruncateSaturated(work[2 * (half + j)] + work[2 * j + 1]);
        overlap[j] = work[2 * (half + j) + 1];
    }
}

} // namespace keb
