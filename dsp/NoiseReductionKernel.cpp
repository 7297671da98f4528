#include "dsp/NoiseReductionKernel.h"

#include <algorithm>
#include <bit>
#include <new>

namespace keb
{

namespace
{

// The power of two nearest to 32 ms of samples, at least 64.
int FrameLengthFor(int sampleRate)
{
    const auto wanted = static_cast<unsigned>(std::max(64, sampleRate * 32 / 1000));
    const unsigned below = std::bit_floor(wanted);
    return static_cast<int>(wanted - below < 2 * below - wanted ? below : 2 * below);
}

// Rises over the first three quarters like a Hann window and falls over the
// last quarter: the newest samples weigh in at once, so a CW element opens
// the gain within a hop of its start.
std::vector<float> AnalysisWindow(int length)
{
    const int fall = length / 4;
    const int rise = length - fall;
    std::vector<float> window(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        window[static_cast<std::size_t>(i)] =
            i < rise ? FFTWindowValue(fwHanning, i, 2 * rise)
                     : FFTWindowValue(fwHanning, i - rise + fall, 2 * fall);
    return window;
}

// The power per bin of white noise of 1 LSB rms through the window.
float QuietNoise(const std::vector<float>& window)
{
    float sum = 0;
    for (float w : window)
        sum += w * w;
    return sum;
}

} // namespace

int TNoiseReductionKernel::HopFor(int sampleRate)
{
    return FrameLengthFor(sampleRate) / 4;
}

TNoiseReductionKernel::TNoiseReductionKernel(int sampleRate)
    : length_(FrameLengthFor(sampleRate)), hop_(length_ / 4),
      plan_(InitRealFFT(std::countr_zero(static_cast<unsigned>(length_)))),
      window_(AnalysisWindow(length_)),
      floor_(length_ / 2 + 1, static_cast<float>(sampleRate) / static_cast<float>(hop_)),
      gain_(length_ / 2 + 1, QuietNoise(window_)), filter_(2 * length_, hop_),
      frame_(static_cast<std::size_t>(length_)), power_(static_cast<std::size_t>(length_ / 2 + 1)),
      gains_(static_cast<std::size_t>(length_ + 1)),
      history_(static_cast<std::size_t>(2 * length_)), output_(static_cast<std::size_t>(hop_)),
      mixStep_(1.0f / static_cast<float>(hop_))
{
    if (!plan_)
        throw std::bad_alloc();
}

TNoiseReductionKernel::~TNoiseReductionKernel() = default;

void TNoiseReductionKernel::Clear()
{
    std::fill(history_.begin(), history_.end(), 0.0f);
    std::fill(output_.begin(), output_.end(), 0.0f);
    position_ = 0;
    level_ = 0;
    mix_ = 0;
    floor_.Clear();
    gain_.Clear();
    filter_.Clear();
}

void TNoiseReductionKernel::SetLevel(int level)
{
    level_ = std::clamp(level, 0, TSuppressionGain::Levels);
}

void TNoiseReductionKernel::Process(std::span<float> samples)
{
    if (Transparent())
    {
        Remember(samples);
        return;
    }
    const std::size_t newest = history_.size() - static_cast<std::size_t>(hop_);
    while (!samples.empty())
    {
        const int count = std::min(hop_ - position_, static_cast<int>(samples.size()));
        std::copy_n(samples.begin(), count,
                    history_.begin() + static_cast<long>(newest) + position_);
        Mix(samples.data(), count);
        samples = samples.subspan(static_cast<std::size_t>(count));
        position_ += count;
        if (position_ == hop_)
        {
            RunHop();
            position_ = 0;
        }
    }
}

void TNoiseReductionKernel::Remember(std::span<const float> samples)
{
    // The history holds the stream's last newest + position_ samples at its
    // start (the rest is overwritten before the next hop reads it).
    const auto hop = static_cast<std::size_t>(hop_);
    const std::size_t newest = history_.size() - hop;
    const std::size_t held = newest + static_cast<std::size_t>(position_);
    const std::size_t position = (static_cast<std::size_t>(position_) + samples.size()) % hop;
    const std::size_t kept = newest + position;
    if (samples.size() >= kept)
        std::copy(samples.end() - static_cast<long>(kept), samples.end(), history_.begin());
    else
    {
        const std::size_t old = kept - samples.size();
        if (held > old)
            std::copy(history_.begin() + static_cast<long>(held - old),
                      history_.begin() + static_cast<long>(held), history_.begin());
        std::copy(samples.begin(), samples.end(), history_.begin() + static_cast<long>(old));
    }
    position_ = static_cast<int>(position);
}

void TNoiseReductionKernel::Mix(float* samples, int count)
{
    const float* filtered = output_.data() + position_;
    if (level_ > 0 && mix_ >= 1.0f)
    {
        std::copy_n(filtered, count, samples);
        return;
    }
    if (level_ == 0 && mix_ <= 0.0f)
        return;
    for (int i = 0; i < count; ++i)
    {
        mix_ = level_ > 0 ? std::min(1.0f, mix_ + mixStep_) : std::max(0.0f, mix_ - mixStep_);
        samples[i] += (filtered[i] - samples[i]) * mix_;
    }
}

void TNoiseReductionKernel::RunHop()
{
    if (level_ > 0 || mix_ > 0.0f)
    {
        if (level_ > 0)
            Analyse();
        filter_.Filter(history_, output_);
    }
    std::copy(history_.begin() + hop_, history_.end(), history_.begin());
}

void TNoiseReductionKernel::Analyse()
{
    const auto frameStart = history_.end() - length_;
    for (std::size_t i = 0; i < frame_.size(); ++i)
        frame_[i] = frameStart[static_cast<long>(i)] * window_[i];
    const float nyquist = [&]
    {
        float sum = 0;
        for (std::size_t i = 0; i < frame_.size(); i += 2)
            sum += frame_[i] - frame_[i + 1];
        return sum;
    }();
    RealFFT(plan_.get(), frame_.data(), 0);
    const std::size_t half = frame_.size() / 2;
    power_[0] = frame_[0] * frame_[0];
    for (std::size_t k = 1; k < half; ++k)
        power_[k] = frame_[2 * k] * frame_[2 * k] + frame_[2 * k + 1] * frame_[2 * k + 1];
    power_[half] = nyquist * nyquist;
    floor_.Update(power_);
    gain_.Update(power_, floor_.Floor(), level_);
    // The filter's curve has twice the points: odd points between two bins.
    const auto gains = gain_.Gains();
    for (std::size_t k = 0; k <= half; ++k)
        gains_[2 * k] = gains[k];
    for (std::size_t k = 0; k < half; ++k)
        gains_[2 * k + 1] = 0.5f * (gains[k] + gains[k + 1]);
    filter_.SetGains(gains_);
}

} // namespace keb
