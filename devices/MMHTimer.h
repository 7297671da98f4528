// TMMHiTimer: a non-visual component that fires OnTimer periodically from the
// high-resolution periodic timer (MMHTimerPeriodic.h) rather than a window
// timer, in one of the three callback modes of the devices (MMWaveDevice.h):
//   cmWindow    each tick posts a message to the timer's hidden window and
//               OnTimer runs in the main thread; at most 10 ticks wait, the
//               rest are dropped
//   cmCallback  refused on this platform (the setter shows the devices'
//               refusal box with the caption "TMMHiTimer" and keeps the old
//               mode)
//   cmThread    each tick wakes the timer's worker, which runs OnTimer itself
//               or, with Synchronize, has the main thread run it while it
//               waits. Ticks that come while a tick runs collapse into one
//               late tick; none are queued.
//
// The timer runs while Enabled, Interval > 0 and OnTimer is assigned. Every
// setter of CallBackMode, Enabled, Interval and OnTimer rebuilds it: the old
// platform timer, window and worker go and, if the conditions hold, new ones
// start. Assigning OnTimer always rebuilds; setting another property to its
// current value does nothing. Priority applies to a running worker at once;
// Synchronize and WaitForTerminate are only stored.
//
// Threads: construction, destruction and every setter belong to the main
// thread (OnTimer may call them when it runs there: disabling the timer from
// a synchronised OnTimer never waits for the worker that is waiting for it).
// No tick runs inside a teardown: its waits serve the main thread's
// synchronise requests, and a synchronised tick of any timer met there is
// dropped (the next one runs as usual).
// The worker never outlives what it uses: it shares its events and its link
// to the timer with the timer, and a torn-down worker is detached, so it can
// finish on its own after the timer has gone.
//
// Raises EMMHiTimerError "HiTimer:" LF CR "Could not create thread" when the
// worker cannot be started or does not run within 5000 ms, and
// EOutOfResources "Not enough timers available" when the periodic timer is
// refused (an Interval outside 1 .. 1000000 ms, for example); what was set up
// before the failure stays until the next rebuild removes it. Exceptions of
// OnTimer go to HandleException in the thread that ran the tick.
#pragma once

#include "devices/MMWaveDevice.h"
#include "platform/core/Exceptions.h"
#include "platform/core/MessageWindow.h"
#include "platform/core/Thread.h"
#include "stream/MMDSPObj.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMHiTimerError, Exception);

// The private tick message of the timer window; wParam is the timer identifier.
inline constexpr std::uint32_t MM_HITIMER_TICK = 0x800A;
inline constexpr std::int32_t MaxPendingTicks = 10;
inline constexpr std::uint32_t ThreadStartTimeoutMs = 5000;

struct TTimerLink;

class TMMHiTimer : public TMMComponent
{
  public:
    using TNotifyEvent = std::function<void(TMMHiTimer* sender)>;

    explicit TMMHiTimer(TComponent* owner);
    ~TMMHiTimer() override;

    TMMCBMode CallBackMode() const { return callBackMode_.load(); }
    void SetCallBackMode(TMMCBMode value);
    bool Enabled() const { return enabled_.load(); }
    void SetEnabled(bool value);
    std::int32_t Interval() const { return interval_; } // ms
    void SetInterval(std::int32_t value);               // ms
    const TNotifyEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(TNotifyEvent value);
    TThreadPriority Priority() const { return priority_.load(); }
    void SetPriority(TThreadPriority value);
    bool Synchronize() const { return synchronize_.load(); }
    void SetSynchronize(bool value) { synchronize_.store(value); }
    bool WaitForTerminate() const { return waitForTerminate_; }
    void SetWaitForTerminate(bool value) { waitForTerminate_ = value; }

    // What runs now (for the host and for tests).
    std::uint32_t TimerID() const { return timerId_.load(); }
    bool ThreadRunning() const { return link_ != nullptr; }
    bool InSync() const;
    std::int32_t PendingTicks() const { return pendingTicks_.load(); }

  protected:
    // Fires OnTimer when it is assigned and the timer is enabled.
    virtual void DoTimer();

  private:
    friend class TMMTimerThread;

    void Build();
    void TearDown();
    void StartWorker();
    void WindowProc(const TMessage& message);
    static void TimerCallback(std::uint32_t timerId, std::uintptr_t user);

    std::atomic<TThreadPriority> priority_{TThreadPriority::tpNormal};
    std::shared_ptr<TTimerLink> link_;
    TThread* thread_ = nullptr;
    std::atomic<bool> synchronize_{true};
    bool waitForTerminate_ = false;
    std::atomic<bool> enabled_{true};
    std::int32_t interval_ = 1000; // ms
    std::atomic<std::int32_t> pendingTicks_{0};
    // Made by the first build in cmWindow and kept with the timer, so that a
    // tick running in its procedure may rebuild the timer; a teardown drops
    // its pending ticks, and ticks of an older timer are ignored.
    std::unique_ptr<TMessageWindow> window_;
    std::atomic<std::uint32_t> timerId_{0};
    bool resolutionHeld_ = false;
    std::atomic<TMMCBMode> callBackMode_{cmWindow};
    TNotifyEvent onTimer_;
};

} // namespace keb
