#include "dsp/NoiseFloorTracker.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace keb
{

TNoiseFloorTracker::TNoiseFloorTracker(int bins, float framesPerSecond)
    : bins_(bins),
      framesPerSub_(
          std::max(1, static_cast<int>(std::lround(WindowSeconds * framesPerSecond / SubWindows)))),
      smoothed_(static_cast<std::size_t>(bins)), current_(static_cast<std::size_t>(bins)),
      floor_(static_cast<std::size_t>(bins)), minima_(static_cast<std::size_t>(bins) * SubWindows),
      finished_(static_cast<std::size_t>(bins))
{
}

void TNoiseFloorTracker::Clear()
{
    started_ = false;
    frameInSub_ = 0;
    sub_ = 0;
}

void TNoiseFloorTracker::Update(std::span<const float> power)
{
    const auto bins = static_cast<std::size_t>(bins_);
    if (!started_)
    {
        std::copy_n(power.begin(), bins, smoothed_.begin());
        std::copy_n(power.begin(), bins, current_.begin());
        std::copy_n(power.begin(), bins, finished_.begin());
        for (int s = 0; s < SubWindows; ++s)
            std::copy_n(power.begin(), bins, minima_.begin() + static_cast<long>(s * bins));
        started_ = true;
    }
    for (std::size_t k = 0; k < bins; ++k)
    {
        smoothed_[k] = Smoothing * smoothed_[k] + (1.0f - Smoothing) * power[k];
        current_[k] = std::min(current_[k], smoothed_[k]);
        floor_[k] = Bias * std::min(current_[k], finished_[k]);
    }
    if (++frameInSub_ < framesPerSub_)
        return;
    // The row being filled is finished: it replaces the oldest row, and the
    // next row starts from the smoothed power.
    frameInSub_ = 0;
    std::copy(current_.begin(), current_.end(),
              minima_.begin() + static_cast<long>(static_cast<std::size_t>(sub_) * bins));
    sub_ = (sub_ + 1) % SubWindows;
    std::copy(smoothed_.begin(), smoothed_.end(), current_.begin());
    std::fill(finished_.begin(), finished_.end(), std::numeric_limits<float>::max());
    for (int s = 0; s < SubWindows; ++s)
    {
        if (s == sub_)
            continue;
        const float* row = minima_.data() + static_cast<std::size_t>(s) * bins;
        for (std::size_t k = 0; k < bins; ++k)
            finished_[k] = std::min(finished_[k], row[k]);
    }
}

} // namespace keb
