#include "platform/audio/portaudio/StallWatchdog.h"

namespace keb
{

StallWatchdog::StallWatchdog(std::chrono::milliseconds StallTimeout, std::function<void()> Action)
    : Timeout(StallTimeout), OnStall(std::move(Action))
{
}

StallWatchdog::~StallWatchdog()
{
    Stop();
}

void StallWatchdog::Start()
{
    Stop();
    {
        std::lock_guard Guard(Lock);
        Ending = false;
    }
    Watcher = std::thread([this] { Watch(); });
}

void StallWatchdog::Stop()
{
    {
        std::lock_guard Guard(Lock);
        Ending = true;
    }
    Wake.notify_all();
    if (Watcher.joinable())
    {
        Watcher.join();
    }
}

void StallWatchdog::Watch()
{
    std::uint64_t Seen = Beats.load(std::memory_order_relaxed);
    std::unique_lock Guard(Lock);
    while (!Wake.wait_for(Guard, Timeout, [this] { return Ending; }))
    {
        const std::uint64_t Now = Beats.load(std::memory_order_relaxed);
        if (Now == Seen)
        {
            Guard.unlock();
            OnStall();
            return;
        }
        Seen = Now;
    }
}

} // namespace keb
