#include "platform/audio/PolyphaseConverter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace keb
{

namespace
{

constexpr double StopbandDb = 65;
constexpr double PassbandEnd = 0.4;   // of the lower rate
constexpr double StopbandStart = 0.5; // of the lower rate

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

// The sum of Taps times the Length samples of a window, oldest first.
float Dot(const float* taps, const float* samples, std::size_t length)
{
    float sum = 0;
    for (std::size_t index = 0; index < length; ++index)
        sum += taps[index] * samples[index];
    return sum;
}

std::size_t WholeRate(double rate)
{
    return static_cast<std::size_t>(std::lround(rate));
}

} // namespace

std::vector<float> PolyphaseLowPass(std::size_t up, double fromRate, double lowRate)
{
    const double highRate = static_cast<double>(up) * fromRate;
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
    std::vector<float> scaled(length);
    for (std::size_t index = 0; index < length; ++index)
        scaled[index] = static_cast<float>(taps[index] * static_cast<double>(up) / sum);
    return scaled;
}

TPolyphaseFilter::TPolyphaseFilter(double fromRate, double toRate, unsigned channels)
    : channels_(channels)
{
    const std::size_t from = WholeRate(fromRate);
    const std::size_t to = WholeRate(toRate);
    const std::size_t common = std::gcd(from, to);
    up_ = to / common;
    down_ = from / common;
    offset_ = up_;
    const std::vector<float> taps = PolyphaseLowPass(up_, fromRate, std::min(fromRate, toRate));
    length_ = (taps.size() + up_ - 1) / up_;
    // The output at phase p after input frame n sums tap p + k * Up times
    // frame n - k: row p holds them oldest frame first.
    phaseTaps_.assign(up_ * length_, 0.0f);
    for (std::size_t phase = 0; phase < up_; ++phase)
        for (std::size_t age = 0; age < length_; ++age)
            if (const std::size_t tap = phase + age * up_; tap < taps.size())
                phaseTaps_[phase * length_ + length_ - 1 - age] = taps[tap];
    history_.assign(channels * 2 * length_, 0.0f);
}

void TPolyphaseFilter::Take(const std::int16_t* frame)
{
    for (std::size_t channel = 0; channel < channels_; ++channel)
    {
        float* window = history_.data() + channel * 2 * length_;
        window[position_] = window[position_ + length_] = frame[channel];
    }
    position_ = (position_ + 1) % length_;
    offset_ -= up_;
}

void TPolyphaseFilter::Give(std::int16_t* frame)
{
    const float* taps = phaseTaps_.data() + offset_ * length_;
    for (std::size_t channel = 0; channel < channels_; ++channel)
        frame[channel] =
            ToSample(Dot(taps, history_.data() + channel * 2 * length_ + position_, length_));
    offset_ += down_;
}

void TPolyphaseFilter::Clear()
{
    std::fill(history_.begin(), history_.end(), 0.0f);
    position_ = 0;
    offset_ = up_;
}

TPolyphaseCapture::TPolyphaseCapture(double fromRate, double toRate, unsigned channels)
    : filter_(fromRate, toRate, channels), channels_(channels)
{
}

void TPolyphaseCapture::Process(const std::int16_t* input, std::size_t frames, std::size_t& used,
                                std::int16_t* output, std::size_t capacity, std::size_t& made)
{
    used = 0;
    made = 0;
    for (;;)
    {
        while (filter_.OutputDue() && made < capacity)
            filter_.Give(output + channels_ * made++);
        if (filter_.OutputDue() || used == frames)
            return;
        filter_.Take(input + channels_ * used++);
    }
}

TPolyphasePlayback::TPolyphasePlayback(double fromRate, double toRate, unsigned channels,
                                       TConversionSupply supply, void* state,
                                       std::size_t largestPull)
    : filter_(fromRate, toRate, channels), channels_(channels), inputPerOutput_(fromRate / toRate),
      supply_(supply), state_(state), largestPull_(largestPull)
{
}

std::size_t TPolyphasePlayback::Output(std::int16_t* output, std::size_t frames)
{
    std::size_t made = 0;
    while (made < frames)
    {
        if (filter_.OutputDue())
            filter_.Give(output + channels_ * made++);
        else if (!TakeInput(frames - made))
            break;
    }
    return made;
}

// Takes the next input frame in, asking the supply for as many as the
// outputs still wanted need when none is pending.
bool TPolyphasePlayback::TakeInput(std::size_t framesWanted)
{
    if (pendingFrames_ == 0)
    {
        const auto needed = static_cast<std::size_t>(
            std::ceil(static_cast<double>(framesWanted) * inputPerOutput_));
        pendingFrames_ =
            supply_(state_, &pending_, std::clamp<std::size_t>(needed, 1, largestPull_));
        if (pendingFrames_ == 0)
            return false;
    }
    filter_.Take(pending_);
    pending_ += channels_;
    --pendingFrames_;
    return true;
}

void TPolyphasePlayback::Clear()
{
    filter_.Clear();
    pending_ = nullptr;
    pendingFrames_ = 0;
}

} // namespace keb
