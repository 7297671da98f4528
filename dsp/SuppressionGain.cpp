#include "dsp/SuppressionGain.h"

#include "dsp/FastMath.h"

#include <algorithm>
#include <cmath>

namespace keb
{

namespace
{

// exp(E1(v) / 2) is tabled over ln v in [TableFrom, TableTo].
constexpr float TableFrom = -12.0f;
constexpr float TableTo = 5.0f;
constexpr int TableSize = 512;
constexpr double EulerGamma = 0.57721566490153286;

// The exponential integral E1(v), v > 0: its series below 1, its continued
// fraction above.
double ExponentialIntegral(double v)
{
    if (v < 1.0)
    {
        double sum = 0, term = 1;
        for (int n = 1; n < 60; ++n)
        {
            term *= -v / n;
            sum -= term / n;
        }
        return -EulerGamma - std::log(v) + sum;
    }
    double fraction = 0;
    for (int n = 60; n >= 1; --n)
        fraction = n / (1.0 + n / (v + fraction));
    return std::exp(-v) / (v + fraction);
}

float FromDb(float db, float scale)
{
    return std::pow(10.0f, db / scale);
}

} // namespace

TSuppressionGain::TSetting TSuppressionGain::ForLevel(int level)
{
    switch (std::clamp(level, 1, Levels))
    {
    case 1:
        return {-10.0f, -15.0f, 1.0f};
    case 2:
        return {-25.0f, -20.0f, 2.6f};
    default:
        return {-30.0f, -25.0f, 3.0f};
    }
}

TSuppressionGain::TSuppressionGain(int bins, float quietNoise)
    : gain_(static_cast<std::size_t>(bins), 1.0f),
      lastPosteriori_(static_cast<std::size_t>(bins), 1.0f), table_(TableSize),
      quietNoise_(quietNoise)
{
    for (int i = 0; i < TableSize; ++i)
    {
        const double lnV = TableFrom + (TableTo - TableFrom) * i / (TableSize - 1);
        table_[static_cast<std::size_t>(i)] =
            static_cast<float>(std::exp(0.5 * ExponentialIntegral(std::exp(lnV))));
    }
}

void TSuppressionGain::Clear()
{
    std::fill(gain_.begin(), gain_.end(), 1.0f);
    std::fill(lastPosteriori_.begin(), lastPosteriori_.end(), 1.0f);
    loudest_ = 0;
    started_ = false;
}

float TSuppressionGain::LsaFactor(float v) const
{
    const float lnV = FastLog(std::max(v, 1e-30f));
    if (lnV >= TableTo)
        return 1.0f;
    if (lnV <= TableFrom)
        return FastExp(0.5f * (-static_cast<float>(EulerGamma) - lnV));
    const float position = (lnV - TableFrom) / (TableTo - TableFrom) * (TableSize - 1);
    const int i = std::min(static_cast<int>(position), TableSize - 2);
    const float t = position - static_cast<float>(i);
    return table_[static_cast<std::size_t>(i)] * (1.0f - t) +
           table_[static_cast<std::size_t>(i + 1)] * t;
}

void TSuppressionGain::Update(std::span<const float> power, std::span<const float> noise, int level)
{
    const TSetting setting = ForLevel(level);
    const float gainFloor = FromDb(setting.GainFloorDb, 20.0f);
    const float prioriMin = FromDb(setting.PrioriMinDb, 10.0f);
    const float weight = started_ ? DecisionWeight : 0.0f;
    loudest_ *= std::pow(10.0f, -1.0f / LoudestFrames);
    for (float p : power)
        loudest_ = std::max(loudest_, p);
    const float quiet = std::max(quietNoise_, loudest_ * FromDb(-InaudibleDb, 10.0f));
    for (std::size_t k = 0; k < gain_.size(); ++k)
    {
        const float posteriori = power[k] / std::max(setting.Overestimate * noise[k], 1e-12f);
        const float previous = gain_[k] * gain_[k] * lastPosteriori_[k];
        const float excess = std::max(posteriori - 1.0f, 0.0f);
        const bool onset = excess > previous && posteriori > OnsetRatio;
        const float w = onset ? std::min(weight, RiseWeight) : weight;
        const float priori = std::max(prioriMin, w * previous + (1.0f - w) * excess);
        const float wiener = priori / (1.0f + priori);
        // Below 1 the posteriori ratio says only that the bin is quiet; the
        // estimator's factor would grow without bound there.
        const float gain = wiener * LsaFactor(wiener * std::max(posteriori, 1.0f));
        gain_[k] = noise[k] < quiet ? 1.0f : std::clamp(gain, gainFloor, 1.0f);
        lastPosteriori_[k] = posteriori;
    }
    started_ = true;
}

} // namespace keb
