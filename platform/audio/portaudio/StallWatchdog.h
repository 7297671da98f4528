// Notices when a running stream's callbacks stop coming.
//
// The audio context calls Beat on every callback with the frames it moved
// (one relaxed atomic addition: no lock, no allocation). Between Start and Stop a thread of the
// watchdog tells a TStallDetector the steady clock's time, a quarter of
// Timeout at a time; once no beat has come for longer than Timeout, or the
// beats moved fewer than LeastFramesPerSecond for that long, it calls OnStall
// once, from that thread, and stops checking.
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

class TStallWatchdog
{
  public:
    TStallWatchdog(std::chrono::milliseconds timeout, std::function<void()> onStall,
                   double leastFramesPerSecond = 0);
    TStallWatchdog(const TStallWatchdog&) = delete;
    TStallWatchdog& operator=(const TStallWatchdog&) = delete;
    ~TStallWatchdog();

    void Beat(std::uint64_t frames = 1) { detector_.Beat(frames); }
    void Start();
    void Stop();

  private:
    void Watch();

    const std::chrono::microseconds checkPeriod_;
    const std::function<void()> onStall_;
    TStallDetector detector_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool ending_ = false;
    std::thread watcher_;
};

} // namespace keb
