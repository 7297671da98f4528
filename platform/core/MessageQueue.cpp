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
    {
        std::lock_guard guard(detail::KernelMutex());
        PostLocked(message);
    }
    detail::KernelNotify();
}

bool TMessageQueue::Take(TMessage& message)
{
    std::lock_guard guard(detail::KernelMutex());
    return TakeLocked(message);
}

std::size_t TMessageQueue::Count() const
{
    std::lock_guard guard(detail::KernelMutex());
    return count_;
}

void TMessageQueue::PostLocked(const TMessage& message)
{
    if (count_ == ring_.size())
        Grow();
    ring_[(head_ + count_) % ring_.size()] = message;
    ++count_;
}

bool TMessageQueue::TakeLocked(TMessage& message)
{
    if (count_ == 0)
        return false;
    message = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    return true;
}

std::size_t TMessageQueue::Remove(TWindowHandle window, std::uint32_t first, std::uint32_t last)
{
    std::lock_guard guard(detail::KernelMutex());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count_; ++i)
    {
        const TMessage& message = ring_[(head_ + i) % ring_.size()];
        const bool matches =
            message.Window == window && message.Msg >= first && message.Msg <= last;
        if (!matches)
            ring_[(head_ + kept++) % ring_.size()] = message;
    }
    const std::size_t removed = count_ - kept;
    count_ = kept;
    return removed;
}

void TMessageQueue::Grow()
{
    std::vector<TMessage> larger(ring_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i)
        larger[i] = ring_[(head_ + i) % ring_.size()];
    ring_ = std::move(larger);
    head_ = 0;
}

} // namespace keb
