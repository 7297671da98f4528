#include "platform/core/MessageQueue.h"

#include "platform/core/WaitKernel.h"

#include <algorithm>

namespace keb
{

TMessageQueue::TMessageQueue(std::size_t initialCapacity)
    : ring_(std::max<std::size_t>(initialCapacity, 1))
{
}

void TMessageQueue::Post(const TMessage& message)
{
    detail::TWakeUps wakeUps;
    std::lock_guard guard(detail::KernelMutex());
    PostLocked(message);
    wakeUps.Collect(this);
}

bool TMessageQueue::Take(TMessage& message)
{
    if (Count() == 0)
        return false;
    std::lock_guard guard(detail::KernelMutex());
    return TakeLocked(message);
}

void TMessageQueue::PostLocked(const TMessage& message)
{
    const std::size_t count = CountLocked();
    if (count == ring_.size())
        Grow();
    ring_[(head_ + count) % ring_.size()] = message;
    count_.store(count + 1, std::memory_order_release);
}

bool TMessageQueue::TakeLocked(TMessage& message)
{
    const std::size_t count = CountLocked();
    if (count == 0)
        return false;
    message = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    count_.store(count - 1, std::memory_order_release);
    return true;
}

std::size_t TMessageQueue::Remove(TWindowHandle window, std::uint32_t first, std::uint32_t last)
{
    std::lock_guard guard(detail::KernelMutex());
    const std::size_t count = CountLocked();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        const TMessage& message = ring_[(head_ + i) % ring_.size()];
        const bool matches =
            message.Window == window && message.Msg >= first && message.Msg <= last;
        if (!matches)
            ring_[(head_ + kept++) % ring_.size()] = message;
    }
    count_.store(kept, std::memory_order_release);
    return count - kept;
}

void TMessageQueue::Grow()
{
    std::vector<TMessage> larger(ring_.size() * 2);
    for (std::size_t i = 0; i < CountLocked(); ++i)
        larger[i] = ring_[(head_ + i) % ring_.size()];
    ring_ = std::move(larger);
    head_ = 0;
}

} // namespace keb
