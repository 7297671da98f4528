#include "demo/DemoSignal.h"

#include "demo/Morse.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

namespace keb
{
namespace
{

constexpr double WordsPerMinute = 18.0;
constexpr double EdgeSeconds = 0.005;

double OnePoleCoefficient(double cutoff, double sampleRate)
{
    return std::exp(-2.0 * std::numbers::pi * cutoff / sampleRate);
}

} // namespace

TDemoSignal::TDemoSignal(double sampleRate, std::uint32_t seed)
    : sampleRate_(sampleRate), keying_(MorseKeying("CQ CQ DE KEB K")), noiseState_(seed ? seed : 1),
      highPassCoefficient_(OnePoleCoefficient(300.0, sampleRate)),
      lowPassCoefficient_(OnePoleCoefficient(3000.0, sampleRate))
{
}

void TDemoSignal::Fill(std::int16_t* samples, std::size_t frames)
{
    for (std::size_t i = 0; i < frames; ++i)
    {
        double value = std::clamp(NextSample(), -1.0, 1.0) * 32767.0;
        samples[i] = static_cast<std::int16_t>(std::lround(value));
    }
}

void TDemoSignal::Fill(float* samples, std::size_t frames)
{
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] = static_cast<float>(std::clamp(NextSample(), -1.0, 1.0));
}

double TDemoSignal::NextSample()
{
    const double step = 2.0 * std::numbers::pi / sampleRate_;
    double cw = CwAmplitude * KeyEnvelope() * std::sin(cwPhase_);
    double carrier = CarrierAmplitude * std::sin(carrierPhase_);
    cwPhase_ = std::fmod(cwPhase_ + step * CwFrequencyHz, 2.0 * std::numbers::pi);
    carrierPhase_ = std::fmod(carrierPhase_ + step * CarrierFrequencyHz, 2.0 * std::numbers::pi);
    ++sampleIndex_;
    return cw + carrier + NoiseAmplitude * NextNoise();
}

// 0 .. 1: the key's state with raised-cosine edges, so keying makes no clicks.
double TDemoSignal::KeyEnvelope()
{
    const double unitSeconds = 1.2 / WordsPerMinute;
    const double seconds = static_cast<double>(sampleIndex_) / sampleRate_;
    const double units = seconds / unitSeconds;
    const auto unit = static_cast<std::size_t>(units) % keying_.size();
    if (!keying_[unit])
        return 0.0;
    const double intoUnit = (units - std::floor(units)) * unitSeconds;
    const bool startsHere = !keying_[(unit + keying_.size() - 1) % keying_.size()];
    const bool endsHere = !keying_[(unit + 1) % keying_.size()];
    double envelope = 1.0;
    if (startsHere && intoUnit < EdgeSeconds)
        envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * intoUnit / EdgeSeconds);
    const double leftInUnit = unitSeconds - intoUnit;
    if (endsHere && leftInUnit < EdgeSeconds)
        envelope =
            std::min(envelope, 0.5 - 0.5 * std::cos(std::numbers::pi * leftInUnit / EdgeSeconds));
    return envelope;
}

// White noise from a xorshift generator, then high-passed and low-passed.
double TDemoSignal::NextNoise()
{
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    double white = static_cast<double>(noiseState_) / 2147483648.0 - 1.0;
    highPassOutput_ = highPassCoefficient_ * (highPassOutput_ + white - highPassInput_);
    highPassInput_ = white;
    lowPassOutput_ =
        (1.0 - lowPassCoefficient_) * highPassOutput_ + lowPassCoefficient_ * lowPassOutput_;
    return 2.0 * lowPassOutput_;
}

} // namespace keb
