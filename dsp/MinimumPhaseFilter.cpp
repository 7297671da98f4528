#include "dsp/MinimumPhaseFilter.h"

#include "dsp/FastMath.h"
#include "dsp/MMFFTConvolve.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>
#include <numbers>

namespace keb
{

TMinimumPhaseFilter::TMinimumPhaseFilter(int length, int block)
    : length_(length), block_(block),
      real_(InitRealFFT(std::countr_zero(static_cast<unsigned>(length)))),
      complex_(InitComplexFFT(std::countr_zero(static_cast<unsigned>(length)))),
      previous_(static_cast<std::size_t>(length + 2)), next_(static_cast<std::size_t>(length + 2)),
      scratch_(static_cast<std::size_t>(length)), combined_(static_cast<std::size_t>(2 * length)),
      scrambled_(static_cast<std::size_t>(2 * length)), work_(static_cast<std::size_t>(2 * length)),
      fade_(static_cast<std::size_t>(block))
{
    if (!real_ || !complex_)
        throw std::bad_alloc();
    for (int i = 0; i < block; ++i)
    {
        const double phase = std::numbers::pi * (i + 0.5) / block;
        fade_[static_cast<std::size_t>(i)] = static_cast<float>(0.5 - 0.5 * std::cos(phase));
    }
    Clear();
}

TMinimumPhaseFilter::~TMinimumPhaseFilter() = default;

void TMinimumPhaseFilter::Clear()
{
    for (std::size_t j = 0; j < previous_.size(); j += 2)
    {
        previous_[j] = next_[j] = 1.0f;
        previous_[j + 1] = next_[j + 1] = 0.0f;
    }
}

float TMinimumPhaseFilter::Nyquist(std::span<const float> x)
{
    float sum = 0;
    for (std::size_t n = 0; n < x.size(); n += 2)
        sum += x[n] - x[n + 1];
    return sum;
}

void TMinimumPhaseFilter::SetGains(std::span<const float> gains)
{
    const auto n = static_cast<std::size_t>(length_);
    const std::size_t half = n / 2;
    // The log magnitude as an even sequence; its transform is the cepstrum
    // times length.
    for (std::size_t j = 0; j <= half; ++j)
        scratch_[j] = FastLog(gains[j]);
    for (std::size_t j = 1; j < half; ++j)
        scratch_[n - j] = scratch_[j];
    const float cepstrumNyquist = Nyquist(scratch_) / static_cast<float>(n);
    RealFFT(real_.get(), scratch_.data(), 0);
    // Folded: c[0], 2 c[1 .. half - 1], c[half], zero after.
    const float scale = 1.0f / static_cast<float>(n);
    const float c0 = scratch_[0] * scale;
    for (std::size_t m = 1; m < half; ++m)
        scratch_[m] = 2.0f * scratch_[2 * m] * scale;
    scratch_[0] = c0;
    scratch_[half] = cepstrumNyquist;
    std::fill(scratch_.begin() + static_cast<long>(half) + 1, scratch_.end(), 0.0f);
    const float foldedNyquist = Nyquist(scratch_);
    RealFFT(real_.get(), scratch_.data(), 0);
    previous_.swap(next_);
    scratch_[1] = 0.0f;
    // Two plain loops, each one the compiler can run on vectors.
    for (std::size_t j = 0; j < half; ++j)
        next_[2 * j] = FastExp(scratch_[2 * j]);
    for (std::size_t j = 0; j < half; ++j)
    {
        float sine, cosine;
        FastSinCos(scratch_[2 * j + 1], sine, cosine);
        next_[2 * j + 1] = next_[2 * j] * sine;
        next_[2 * j] *= cosine;
    }
    next_[2 * half] = FastExp(foldedNyquist);
    next_[2 * half + 1] = 0.0f;
}

void TMinimumPhaseFilter::CombineResponses()
{
    const auto n = static_cast<std::size_t>(length_);
    const std::size_t half = n / 2;
    for (std::size_t j = 0; j <= half; ++j)
    {
        combined_[2 * j] = previous_[2 * j] - next_[2 * j + 1];
        combined_[2 * j + 1] = previous_[2 * j + 1] + next_[2 * j];
    }
    // Bins n - j of two real filters: conj(P) + i conj(N).
    for (std::size_t j = 1; j < half; ++j)
    {
        combined_[2 * (n - j)] = previous_[2 * j] + next_[2 * j + 1];
        combined_[2 * (n - j) + 1] = next_[2 * j] - previous_[2 * j + 1];
    }
    ScrambleSpectrum(complex_.get(), combined_.data(), scrambled_.data());
}

void TMinimumPhaseFilter::Filter(std::span<const float> history, std::span<float> out)
{
    CombineResponses();
    for (std::size_t i = 0; i < history.size(); ++i)
    {
        work_[2 * i] = history[i];
        work_[2 * i + 1] = 0.0f;
    }
    ConvolveCyclic(complex_.get(), work_.data(), scrambled_.data());
    const std::size_t first = static_cast<std::size_t>(length_ - block_);
    for (std::size_t i = 0; i < static_cast<std::size_t>(block_); ++i)
    {
        const float before = work_[2 * (first + i)];
        const float after = work_[2 * (first + i) + 1];
        out[i] = before + (after - before) * fade_[i];
    }
    std::copy(next_.begin(), next_.end(), previous_.begin());
}

} // namespace keb
