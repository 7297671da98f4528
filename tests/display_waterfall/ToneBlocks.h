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
        : Step_(2 * std::numbers::pi * frequency / sampleRate), Amplitude_(amplitude),
          Noise_(0.0, noise)
    {
    }

    // The next `frames` samples as little-endian bytes.
    std::vector<std::uint8_t> Next(int frames)
    {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
        for (std::int16_t& sample : samples)
        {
            const double value = Amplitude_ * std::sin(Phase_) + Noise_(Random_);
            Phase_ += Step_;
            sample = static_cast<std::int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0)));
        }
        std::vector<std::uint8_t> bytes(samples.size() * 2);
        std::memcpy(bytes.data(), samples.data(), bytes.size());
        return bytes;
    }

  private:
    double Step_;
    double Amplitude_;
    double Phase_ = 0;
    std::mt19937 Random_{1234};
    std::normal_distribution<double> Noise_;
};

} // namespace keb
