#include "platform/core/Wait.h"

#include "platform/core/MainLoop.h"
#include "platform/core/MainLoopInternal.h"
#include "platform/core/WaitKernel.h"

namespace keb
{
namespace
{
int ReadyIndexLocked(std::span<TEvent* const> events, TMessageQueue* queue)
{
    for (std::size_t i = 0; i < events.size(); ++i)
    {
        if (events[i]->ConsumeLocked())
            return static_cast<int>(i);
    }
    if (queue && queue->CountLocked() > 0)
        return static_cast<int>(events.size());
    return WaitTimeout;
}
} // namespace

int WaitForAny(std::span<TEvent* const> events, TMessageQueue* queue, std::uint32_t timeoutMs,
               bool serveSynchronize)
{
    const bool serve = serveSynchronize && IsMainThread();
    const auto deadline = detail::DeadlineAfter(timeoutMs);
    const detail::TWatched watched{events, queue, serve ? detail::SyncRequestsKey() : nullptr};
    std::unique_lock lock(detail::KernelMutex());
    for (;;)
    {
        const int ready = ReadyIndexLocked(events, queue);
        if (ready != WaitTimeout)
            return ready;
        if (serve && detail::SyncPendingLocked())
        {
            lock.unlock();
            CheckSynchronize();
            lock.lock();
            continue;
        }
        if (!detail::KernelWait(lock, watched, deadline))
            return ReadyIndexLocked(events, queue);
    }
}

} // namespace keb
