#include "platform/audio/portaudio/StallWatchdog.h"

namespace keb
{

StallWatchdog::StallWatchdog(std::chrono::milliseconds Timeout, std::function<void()> Action)
    : CheckPeriod(std::chrono::duration_cast<std::chrono::microseconds>(Timeout) / 4),
      OnStall(std::move(Action)), Detector(Timeout)
{
}

StallWatchdog::~StallWatchdog()
{
    Stop();
}

void StallWatchdog::Start()
{
    Stop();
    Detector.Restart();
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
    using Clock = std::chrono::steady_clock;
    auto Last = Clock::now();
    std::unique_lock Guard(Lock);
    while (!Wake.wait_for(Guard, CheckPeriod, [this] { return Ending; }))
    {
        const auto Now = Clock::now();
        const bool Stalled =
            Detector.Elapse(std::chrono::duration_cast<std::chrono::microseconds>(Now - Last));
        Last = Now;
        if (Stalled)
        {
            Guard.unlock();
            OnStall();
            return;
        }
    }
}

} // namespace keb
