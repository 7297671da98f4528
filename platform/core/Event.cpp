#include "platform/core/Event.h"

#include "platform/core/WaitKernel.h"

namespace keb
{

TEvent::TEvent(bool manualReset, bool initialState)
    : manualReset_(manualReset), signaled_(initialState)
{
}

void TEvent::SetEvent()
{
    detail::TWakeUps wakeUps;
    std::lock_guard guard(detail::KernelMutex());
    signaled_ = true;
    wakeUps.Collect(this);
}

void TEvent::ResetEvent()
{
    std::lock_guard guard(detail::KernelMutex());
    signaled_ = false;
}

bool TEvent::ConsumeLocked()
{
    if (!signaled_)
        return false;
    if (!manualReset_)
        signaled_ = false;
    return true;
}

TWaitResult TEvent::WaitFor(std::uint32_t timeoutMs)
{
    const auto deadline = detail::DeadlineAfter(timeoutMs);
    TEvent* const self = this;
    const detail::TWatched watched{{&self, 1}};
    std::unique_lock lock(detail::KernelMutex());
    while (!ConsumeLocked())
    {
        if (!detail::KernelWait(lock, watched, deadline))
            return ConsumeLocked() ? TWaitResult::wrSignaled : TWaitResult::wrTimeout;
    }
    return TWaitResult::wrSignaled;
}

} // namespace keb
