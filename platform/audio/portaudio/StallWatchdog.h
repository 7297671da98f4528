// Notices when a running stream's callbacks stop coming.
//
// The audio context calls Beat on every callback (one relaxed atomic
// increment: no lock, no allocation). Between Start and Stop a thread of the
// watchdog tells a StallDetector the steady clock's time, a quarter of
// Timeout at a time; once no beat has come for longer than Timeout it calls
// OnStall once, from that thread, and stops checking.
// Start and Stop come from one control thread; Stop waits for the thread.
#pragma once

#include "platform/audio/StallDetector.h"

#include <chrono>
#include <condition_variable>
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

    void Beat() { Detector.Beat(); }
    void Start();
    void Stop();

  private:
    void Watch();

    const std::chrono::microseconds CheckPeriod;
    const std::function<void()> OnStall;
    StallDetector Detector;
    std::mutex Lock;
    std::condition_variable Wake;
    bool Ending = false;
    std::thread Watcher;
};

} // namespace keb
