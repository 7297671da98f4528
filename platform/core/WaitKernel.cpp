#include "platform/core/WaitKernel.h"

#include "platform/core/Event.h"

namespace keb::detail
{
namespace
{
struct TWaitKernel
{
    std::mutex Mutex;
    std::condition_variable Changed;
};

// Never destroyed: worker threads may still wait or signal while static
// objects are torn down at exit.
TWaitKernel& TheKernel()
{
    static TWaitKernel* kernel = new TWaitKernel;
    return *kernel;
}
} // namespace

std::mutex& KernelMutex()
{
    return TheKernel().Mutex;
}

void KernelNotify()
{
    TheKernel().Changed.notify_all();
}

bool KernelWait(std::unique_lock<std::mutex>& lock,
                const std::optional<std::chrono::steady_clock::time_point>& deadline)
{
    if (!deadline)
    {
        TheKernel().Changed.wait(lock);
        return true;
    }
    return TheKernel().Changed.wait_until(lock, *deadline) == std::cv_status::no_timeout ||
           std::chrono::steady_clock::now() < *deadline;
}

std::optional<std::chrono::steady_clock::time_point> DeadlineAfter(std::uint32_t timeoutMs)
{
    if (timeoutMs == Infinite)
        return std::nullopt;
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

} // namespace keb::detail
