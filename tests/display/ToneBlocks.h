// Blocks of 16-bit mono PCM for the waterfall tests and the benchmark: a
// sine tone in seeded white noise, continuing from block to block.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace keb
{

class TToneSource
{
  public:
    TToneSource(double frequency, int sampleRate, double amplitude, double noise)
        : step_(2 * std::numbers::pi * frequency / sampleRate), amplitude_(amplitude),
          noise_(0.0, noise)
    {
    }

    // The next `frames` samples as little-endian bytes.
    std::vector<std::uint8_t> Next(int frames)
    {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
        for (std::int16_t& sample : samples)
        {
            const double value = amplitude_ * std::sin(phase_) + noise_(random_);
            phase_ += step_;
            sample = static_cast<std::int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0)));
        }
        std::vector<std::uint8_t> bytes(samples.size() * 2);
        std::memcpy(bytes.data(), samples.data(), bytes.size());
        return bytes;
    }

  private:
    double step_;
    double amplitude_;
    double phase_ = 0;
    std::mt19937 random_{1234};
    std::normal_distribution<double> noise_;
};

} // namespace keb
