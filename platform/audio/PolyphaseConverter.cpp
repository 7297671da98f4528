#include "platform/audio/PolyphaseConverter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keb
{

namespace
{

constexpr double StopbandDb = 65;
constexpr double PassbandEnd = 0.4;   // of the low rate
constexpr double StopbandStart = 0.5; // of the low rate

// The modified Bessel function of the first kind, order 0, by its series.
double BesselI0(double x)
{
    double sum = 1;
    double term = 1;
    for (int k = 1; term > 1e-12 * sum; ++k)
    {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

std::int16_t ToSample(float value)
{
    return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

// Stores Frame (Channels samples) as the newest of every channel's window.
void Remember(std::vector<float>& history, std::size_t length, std::size_t& position,
              const std::int16_t* frame, std::size_t channels)
{
    for (std::size_t channel = 0; channel < channels; ++channel)
    {
        float* window = history.data() + channel * 2 * length;
        window[position] = window[position + length] = frame[channel];
    }
    position = (position + 1) % length;
}

// The sum of Taps times the Length samples of a window, oldest first.
float Dot(const float* taps, const float* samples, std::size_t length)
{
    float sum = 0;
    for (std::size_t index = 0; index < length; ++index)
        sum += taps[index] * samples[index];
    return sum;
}

} // namespace

std::vector<float> PolyphaseLowPass(std::size_t factor, double lowRate)
{
    const double highRate = static_cast<double>(factor) * lowRate;
    const double transition =
        2 * std::numbers::pi * (StopbandStart - PassbandEnd) * lowRate / highRate;
    // Kaiser's estimates of the length and the window's shape for the stopband.
    auto length = static_cast<std::size_t>(std::ceil((StopbandDb - 7.95) / (2.285 * transition)));
    length += length % 2 == 0 ? 1 : 0;
    const double beta = 0.1102 * (StopbandDb - 8.7);
    const double cutoff = (PassbandEnd + StopbandStart) / 2 * lowRate / highRate; // cycles/sample
    const double middle = static_cast<double>(length - 1) / 2;
    std::vector<double> taps(length);
    double sum = 0;
    for (std::size_t index = 0; index < length; ++index)
    {
        const double offset = static_cast<double>(index) - middle;
        const double sinc = offset == 0 ? 1
                                        : std::sin(2 * std::numbers::pi * cutoff * offset) /
                                              (2 * std::numbers::pi * cutoff * offset);
        const double ratio = offset / middle;
        taps[index] = sinc * BesselI0(beta * std::sqrt(1 - ratio * ratio)) / BesselI0(beta);
        sum += taps[index];
    }
    std::vector<float> normalised(length);
    for (std::size_t index = 0; index < length; ++index)
        normalised[index] = static_cast<float>(taps[index] / sum);
    return normalised;
}

TPolyphaseDecimator::TPolyphaseDecimator(std::size_t factor, double lowRate, unsigned channels)
    : factor_(factor), channels_(channels), taps_(PolyphaseLowPass(factor, lowRate)),
      history_(channels * 2 * taps_.size())
{
}

void TPolyphaseDecimator::Process(const std::int16_t* input, std::size_t frames, std::size_t& used,
                                  std::int16_t* output, std::size_t capacity, std::size_t& made)
{
    const std::size_t length = taps_.size();
    used = 0;
    made = 0;
    // A frame that completes an output goes in only when there is room for it.
    while (used < frames && (phase_ + 1 < factor_ || made < capacity))
    {
        Remember(history_, length, position_, input + used * channels_, channels_);
        ++used;
        if (++phase_ < factor_)
            continue;
        phase_ = 0;
        for (std::size_t channel = 0; channel < channels_; ++channel)
            output[made * channels_ + channel] = ToSample(
                Dot(taps_.data(), history_.data() + channel * 2 * length + position_, length));
        ++made;
    }
}

void TPolyphaseDecimator::Clear()
{
    std::fill(history_.begin(), history_.end(), 0.0f);
    position_ = 0;
    phase_ = 0;
}

TPolyphaseInterpolator::TPolyphaseInterpolator(std::size_t factor, double lowRate,
                                               unsigned channels, TConversionSupply supply,
                                               void* state, std::size_t largestPull)
    : factor_(factor), channels_(channels), supply_(supply), state_(state),
      largestPull_(largestPull), phase_(factor)
{
    const std::vector<float> taps = PolyphaseLowPass(factor, lowRate);
    length_ = (taps.size() + factor - 1) / factor;
    phaseTaps_.assign(factor * length_, 0.0f);
    // Output phase p of the newest low-rate frame n is the sum over k of
    // tap p + k * Factor times frame n - k; the zeros between the low-rate
    // frames take Factor times the gain back.
    for (std::size_t phase = 0; phase < factor; ++phase)
        for (std::size_t age = 0; age < length_; ++age)
            if (const std::size_t tap = phase + age * factor; tap < taps.size())
                phaseTaps_[phase * length_ + length_ - 1 - age] =
                    taps[tap] * static_cast<float>(factor);
    history_.assign(channels * 2 * length_, 0.0f);
}

std::size_t TPolyphaseInterpolator::Output(std::int16_t* output, std::size_t frames)
{
    std::size_t made = 0;
    while (made < frames)
    {
        if (phase_ == factor_)
        {
            if (!TakeInput(frames - made))
                break;
            phase_ = 0;
        }
        const float* taps = phaseTaps_.data() + phase_ * length_;
        for (std::size_t channel = 0; channel < channels_; ++channel)
            output[made * channels_ + channel] =
                ToSample(Dot(taps, history_.data() + channel * 2 * length_ + position_, length_));
        ++phase_;
        ++made;
    }
    return made;
}

// Takes the next low-rate frame in, asking the supply for as many as the
// outputs still wanted need when none is pending.
bool TPolyphaseInterpolator::TakeInput(std::size_t framesWanted)
{
    if (pendingFrames_ == 0)
    {
        const std::size_t needed = (framesWanted + factor_ - 1) / factor_;
        pendingFrames_ = supply_(state_, &pending_, std::min(needed, largestPull_));
        if (pendingFrames_ == 0)
            return false;
    }
    Remember(history_, length_, position_, pending_, channels_);
    pending_ += channels_;
    --pendingFrames_;
    return true;
}

void TPolyphaseInterpolator::Clear()
{
    std::fill(history_.begin(), history_.end(), 0.0f);
    position_ = 0;
    phase_ = factor_;
    pending_ = nullptr;
    pendingFrames_ = 0;
}

} // namespace keb
