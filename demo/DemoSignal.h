// The demo signal: what a receiver tuned to a CW station might give.
//
// A 700 Hz tone keyed in Morse ("CQ CQ DE KEB K", 18 words a minute, with
// soft 5 ms edges), a steady weaker carrier at 1500 Hz, and noise limited to
// about 300..3000 Hz, at 8000 Hz or any other rate. The same seed gives the
// same samples, so recordings made from it can be compared sample for sample.
//
// Not thread-safe: one generator per consumer. Nothing is allocated per call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace keb
{

class TDemoSignal
{
  public:
    static constexpr double CwFrequencyHz = 700.0;
    static constexpr double CarrierFrequencyHz = 1500.0;
    // Peak amplitudes relative to full scale.
    static constexpr double CwAmplitude = 0.35;
    static constexpr double CarrierAmplitude = 0.06;
    static constexpr double NoiseAmplitude = 0.03;

    explicit TDemoSignal(double sampleRate, std::uint32_t seed = 0x4B4542);

    // Writes the next `frames` samples.
    void Fill(std::int16_t* samples, std::size_t frames);
    // Writes the next `frames` samples as floats in -1..1.
    void Fill(float* samples, std::size_t frames);

  private:
    double NextSample();
    double KeyEnvelope();
    double NextNoise();

    double sampleRate_;
    std::vector<bool> keying_; // one entry per Morse time unit: key down or up
    std::uint64_t sampleIndex_ = 0;
    double cwPhase_ = 0.0;
    double carrierPhase_ = 0.0;
    std::uint32_t noiseState_;
    // Two one-pole sections: a high-pass near 300 Hz, a low-pass near 3000 Hz.
    double highPassCoefficient_;
    double lowPassCoefficient_;
    double highPassInput_ = 0.0;
    double highPassOutput_ = 0.0;
    double lowPassOutput_ = 0.0;
};

} // namespace keb
