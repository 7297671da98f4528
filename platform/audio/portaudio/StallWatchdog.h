// Notices when a running stream's callbacks stop coming.
//
// The audio context calls Beat on every callback (one relaxed atomic
// increment: no lock, no allocation). Between Start and Stop a thread of the
// watchdog checks every Timeout whether a beat came since the last check; if
// none did, it calls OnStall once, from that thread, and stops checking.
// Start and Stop come from one control thread; Stop waits for the thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace keb
{

class StallWatchdog
{
  public:
    StallWatchdog(std::chrono::milliseconds Timeout, std::function<void()> OnStall);
    StallWatchdog(const StallWatchdog&) = delete;
    StallWatchdog& operator=(const StallWatchdog&) = delete;
    ~StallWatchdog();

    void Beat() { Beats.fetch_add(1, std::memory_order_relaxed); }
    void Start();
    void Stop();

  private:
    void Watch();

    const std::chrono::milliseconds Timeout;
    const std::function<void()> OnStall;
    std::atomic<std::uint64_t> Beats{0};
    std::mutex Lock;
    std::condition_variable Wake;
    bool Ending = false;
    std::thread Watcher;
};

} // namespace keb
