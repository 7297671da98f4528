#include "platform/audio/StallDetector.h"

namespace keb
{

void StallDetector::Restart()
{
    Seen = Beats.load(std::memory_order_relaxed);
    Silent = std::chrono::microseconds::zero();
    Reported = false;
}

bool StallDetector::Elapse(std::chrono::microseconds Time)
{
    const std::uint64_t Now = Beats.load(std::memory_order_relaxed);
    if (Now != Seen)
    {
        Seen = Now;
        Silent = std::chrono::microseconds::zero();
        return false;
    }
    Silent += Time;
    if (Reported || Silent <= Timeout)
    {
        return false;
    }
    Reported = true;
    return true;
}

} // namespace keb
