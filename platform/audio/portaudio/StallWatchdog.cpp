#include "platform/audio/portaudio/StallWatchdog.h"

namespace keb
{

TStallWatchdog::TStallWatchdog(std::chrono::milliseconds timeout, std::function<void()> action,
                               double leastFramesPerSecond)
    : checkPeriod_(std::chrono::duration_cast<std::chrono::microseconds>(timeout) / 4),
      onStall_(std::move(action)), detector_(timeout, leastFramesPerSecond)
{
}

TStallWatchdog::~TStallWatchdog()
{
    Stop();
}

void TStallWatchdog::Start()
{
    Stop();
    detector_.Restart();
    {
        std::lock_guard guard(lock_);
        ending_ = false;
    }
    watcher_ = std::thread([this] { Watch(); });
}

void TStallWatchdog::Stop()
{
    {
        std::lock_guard guard(lock_);
        ending_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable())
    {
        watcher_.join();
    }
}

void TStallWatchdog::Watch()
{
    using Clock = std::chrono::steady_clock;
    auto last = Clock::now();
    std::unique_lock guard(lock_);
    while (!wake_.wait_for(guard, checkPeriod_, [this] { return ending_; }))
    {
        const auto now = Clock::now();
        const bool stalled =
            detector_.Elapse(std::chrono::duration_cast<std::chrono::microseconds>(now - last));
        last = now;
        if (stalled)
        {
            guard.unlock();
            onStall_();
            return;
        }
    }
}

} // namespace keb
