#include "dsp/SteadyToneDetector.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace keb
{

namespace
{

constexpr int NearFrom = 3;
constexpr int NearTo = 12;
constexpr int MaxPeaks = 32;

// The power of two nearest to 32 ms of samples.
int FrameLengthFor(int sampleRate)
{
    const auto wanted = static_cast<unsigned>(std::max(16, sampleRate * 32 / 1000));
    const unsigned below = std::bit_floor(wanted);
    return static_cast<int>(wanted - below < 2 * below - wanted ? below : 2 * below);
}

} // namespace

TSteadyToneDetector::TSteadyToneDetector(int sampleRate)
    : length_(FrameLengthFor(sampleRate)), hop_(length_ / 2),
      binHz_(static_cast<float>(sampleRate) / static_cast<float>(length_)),
      presenceStep_(static_cast<float>(hop_) / (PresenceSeconds * static_cast<float>(sampleRate))),
      plan_(InitRealFFT(std::countr_zero(static_cast<unsigned>(length_)))),
      window_(static_cast<std::size_t>(length_)), history_(static_cast<std::size_t>(length_)),
      frame_(static_cast<std::size_t>(length_)), power_(static_cast<std::size_t>(length_ / 2)),
      presence_(static_cast<std::size_t>(length_ / 2)), peaks_(MaxPeaks)
{
    if (!plan_)
        throw std::bad_alloc();
    float windowSum = 0;
    for (int i = 0; i < length_; ++i)
    {
        window_[static_cast<std::size_t>(i)] = FFTWindowValue(fwHanning, i, length_);
        windowSum += window_[static_cast<std::size_t>(i)];
    }
    // A full-scale sine gives (32768 sum/2)^2 in its bin; -80 dB of that.
    const float fullScale = 32768.0f * windowSum / 2.0f;
    floor_ = fullScale * fullScale * 1e-8f;
}

TSteadyToneDetector::~TSteadyToneDetector() = default;

void TSteadyToneDetector::Clear()
{
    std::fill(history_.begin(), history_.end(), 0.0f);
    std::fill(presence_.begin(), presence_.end(), 0.0f);
    trackers_ = {};
    filled_ = 0;
}

void TSteadyToneDetector::SetExcluded(std::span<const float> frequencies)
{
    excluded_ = {};
    std::copy_n(frequencies.begin(), std::min<std::size_t>(frequencies.size(), Trackers),
                excluded_.begin());
}

bool TSteadyToneDetector::Push(std::span<const float> samples)
{
    std::copy(samples.begin(), samples.end(), history_.begin() + (length_ - hop_ + filled_));
    filled_ += static_cast<int>(samples.size());
    if (filled_ < hop_)
        return false;
    Analyse();
    std::copy(history_.begin() + hop_, history_.end(), history_.begin());
    filled_ = 0;
    return true;
}

void TSteadyToneDetector::Analyse()
{
    for (std::size_t i = 0; i < frame_.size(); ++i)
        frame_[i] = history_[i] * window_[i];
    RealFFT(plan_.get(), frame_.data(), 0);
    power_[0] = 0;
    for (std::size_t k = 1; k < power_.size(); ++k)
        power_[k] = frame_[2 * k] * frame_[2 * k] + frame_[2 * k + 1] * frame_[2 * k + 1];
    FindPeaks();
    for (std::size_t k = 0; k < presence_.size(); ++k)
        presence_[k] -= presence_[k] * presenceStep_;
    for (int p = 0; p < peakCount_; ++p)
    {
        const int bin = peaks_[static_cast<std::size_t>(p)].Bin;
        for (int k = std::max(0, bin - 1); k <= std::min(bin + 1, length_ / 2 - 1); ++k)
            presence_[static_cast<std::size_t>(k)] =
                std::min(1.0f, presence_[static_cast<std::size_t>(k)] + presenceStep_);
    }
    FollowTrackers();
    StartTrackers();
}

void TSteadyToneDetector::FindPeaks()
{
    const float ratio = std::pow(10.0f, PeakRatioDb / 10.0f);
    const int bins = length_ / 2;
    peakCount_ = 0;
    for (int k = 2; k < bins - 2 && peakCount_ < MaxPeaks; ++k)
    {
        const float p = power_[static_cast<std::size_t>(k)];
        if (p < floor_ || p < power_[static_cast<std::size_t>(k - 1)] ||
            p <= power_[static_cast<std::size_t>(k + 1)])
            continue;
        float below = 0, above = 0;
        int belowCount = 0, aboveCount = 0;
        for (int d = NearFrom; d <= NearTo; ++d)
        {
            if (k - d >= 1)
            {
                below += power_[static_cast<std::size_t>(k - d)];
                ++belowCount;
            }
            if (k + d < bins)
            {
                above += power_[static_cast<std::size_t>(k + d)];
                ++aboveCount;
            }
        }
        const float reference = std::min(belowCount ? below / static_cast<float>(belowCount) : p,
                                         aboveCount ? above / static_cast<float>(aboveCount) : p);
        if (p > ratio * reference)
            peaks_[static_cast<std::size_t>(peakCount_++)] = {k, Interpolate(k)};
    }
}

// The peak's frequency from a parabola through the logarithms of the three
// bins around it (close to exact for the Hann window's main lobe).
float TSteadyToneDetector::Interpolate(int bin) const
{
    const float a = std::log(power_[static_cast<std::size_t>(bin - 1)] + 1e-20f);
    const float b = std::log(power_[static_cast<std::size_t>(bin)] + 1e-20f);
    const float c = std::log(power_[static_cast<std::size_t>(bin + 1)] + 1e-20f);
    const float denominator = a - 2.0f * b + c;
    const float offset = denominator < 0.0f ? 0.5f * (a - c) / denominator : 0.0f;
    return (static_cast<float>(bin) + std::clamp(offset, -0.5f, 0.5f)) * binHz_;
}

const TSteadyToneDetector::TPeak* TSteadyToneDetector::NearestPeak(float frequency,
                                                                   float within) const
{
    const TPeak* best = nullptr;
    float bestDistance = within;
    for (int p = 0; p < peakCount_; ++p)
    {
        const TPeak& peak = peaks_[static_cast<std::size_t>(p)];
        const float distance = std::fabs(peak.Frequency - frequency);
        if (distance <= bestDistance)
        {
            best = &peak;
            bestDistance = distance;
        }
    }
    return best;
}

void TSteadyToneDetector::FollowTrackers()
{
    for (TTracker& tracker : trackers_)
    {
        if (!tracker.Active)
            continue;
        const TPeak* peak = NearestPeak(tracker.Frequency, 1.5f * binHz_);
        tracker.Presence += ((peak ? 1.0f : 0.0f) - tracker.Presence) * presenceStep_;
        if (peak)
            tracker.Frequency += 0.25f * (peak->Frequency - tracker.Frequency);
        if (tracker.Presence < ReleasePresence)
            tracker = TTracker{};
    }
}

bool TSteadyToneDetector::NearTaken(float frequency) const
{
    const float near = 2.0f * binHz_;
    for (const TTracker& tracker : trackers_)
        if (tracker.Active && std::fabs(tracker.Frequency - frequency) <= near)
            return true;
    for (float excluded : excluded_)
        if (excluded > 0.0f && std::fabs(excluded - frequency) <= near)
            return true;
    return false;
}

void TSteadyToneDetector::StartTrackers()
{
    for (int p = 0; p < peakCount_; ++p)
    {
        const TPeak& peak = peaks_[static_cast<std::size_t>(p)];
        if (presence_[static_cast<std::size_t>(peak.Bin)] < StartPresence ||
            NearTaken(peak.Frequency))
            continue;
        for (int t = 0; t < Trackers; ++t)
        {
            if (trackers_[static_cast<std::size_t>(t)].Active ||
                !Available[static_cast<std::size_t>(t)])
                continue;
            trackers_[static_cast<std::size_t>(t)] = {true, peak.Frequency, 1.0f};
            break;
        }
    }
}

} // namespace keb
