#include "platform/audio/StallDetector.h"

namespace keb
{

void TStallDetector::Restart()
{
    seen_ = beats_.load(std::memory_order_relaxed);
    silent_ = std::chrono::microseconds::zero();
    reported_ = false;
}

bool TStallDetector::Elapse(std::chrono::microseconds time)
{
    const std::uint64_t now = beats_.load(std::memory_order_relaxed);
    const double least = leastFramesPerSecond_ * std::chrono::duration<double>(time).count();
    const auto moved = static_cast<double>(now - seen_);
    seen_ = now;
    if (moved > 0 && moved >= least)
    {
        silent_ = std::chrono::microseconds::zero();
        return false;
    }
    silent_ += time;
    if (reported_ || silent_ <= timeout_)
    {
        return false;
    }
    reported_ = true;
    return true;
}

} // namespace keb
