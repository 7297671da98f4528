#include "devices/MMHTimer.h"

#include "devices/MMHTimerPeriodic.h"
#include "devices/MMWaveDeviceHooks.h"
#include "platform/core/Wait.h"

#include <mutex>
#include <system_error>

namespace keb
{

// What the timer and its worker share. The worker keeps it alive, so a
// detached worker can still wait on and set its events after the timer has
// gone.
struct TTimerLink
{
    TEvent TickEvent{false, false};
    TEvent ThreadStartEvent{false, false};
    std::atomic<bool> StopRequest{false};
    std::atomic<bool> InSync{false};
    // Held by the worker while it uses the owner outside the main thread.
    std::mutex OwnerLock;
    // Written in the main thread under OwnerLock; null once detached.
    TMMHiTimer* Owner = nullptr;
};

namespace
{
constexpr const char* CouldNotCreateThread = "HiTimer:\n\rCould not create thread";
constexpr const char* NotEnoughTimers = "Not enough timers available";

std::uint32_t FinestPeriod()
{
    TTimeCaps caps{};
    timeGetDevCaps(caps);
    return caps.wPeriodMin;
}

// The main thread may wait here for a worker that is itself blocked in a
// synchronise request, so it serves those requests while it waits.
void LockServingSynchronize(std::mutex& lock)
{
    while (!lock.try_lock())
        WaitForAny(std::span<TEvent* const>{}, nullptr, 1, /*serveSynchronize=*/true);
}

// Main thread: how many timer teardowns are under way. Their waits serve
// synchronise requests, and a synchronised tick served there is dropped: an
// OnTimer inside a teardown could rebuild the very timer being torn down.
int teardownsRunning = 0;

class TTeardownScope
{
  public:
    TTeardownScope() { ++teardownsRunning; }
    ~TTeardownScope() { --teardownsRunning; }
    TTeardownScope(const TTeardownScope&) = delete;
    TTeardownScope& operator=(const TTeardownScope&) = delete;
};

void RunGuarded(const std::function<void()>& method)
{
    try
    {
        method();
    }
    catch (const std::exception& error)
    {
        HandleException(error);
    }
}
} // namespace

class TMMTimerThread : public TThread
{
  public:
    explicit TMMTimerThread(std::shared_ptr<TTimerLink> link) : link_(std::move(link))
    {
        SetFreeOnTerminate(true);
    }

  protected:
    void Execute() override
    {
        TakeOwnerPriority();
        link_->ThreadStartEvent.SetEvent();
        while (Running())
        {
            link_->TickEvent.WaitFor();
            if (Running())
                RunTick();
        }
        link_->ThreadStartEvent.SetEvent();
    }

  private:
    bool Running() const { return !Terminated() && !link_->StopRequest.load(); }

    void TakeOwnerPriority()
    {
        std::lock_guard guard(link_->OwnerLock);
        if (link_->Owner)
            SetPriority(link_->Owner->Priority());
    }

    void RunTick()
    {
        std::unique_lock guard(link_->OwnerLock);
        TMMHiTimer* owner = link_->Owner;
        if (!owner)
            return;
        if (!owner->Synchronize())
        {
            RunGuarded([owner] { owner->DoTimer(); });
            return;
        }
        // The main thread detaches the owner under OwnerLock, so the lock is
        // released before waiting for it; the synchronised call looks the
        // owner up again in the main thread, where detaching happens.
        guard.unlock();
        link_->InSync.store(true);
        std::shared_ptr<TTimerLink> link = link_;
        Synchronize(
            [link]
            {
                if (link->Owner && teardownsRunning == 0)
                    RunGuarded([&] { link->Owner->DoTimer(); });
            });
        link_->InSync.store(false);
    }

    std::shared_ptr<TTimerLink> link_;
};

TMMHiTimer::TMMHiTimer(TComponent* owner) : TMMComponent(owner) {}

TMMHiTimer::~TMMHiTimer()
{
    enabled_.store(false);
    TearDown();
}

void TMMHiTimer::SetCallBackMode(TMMCBMode value)
{
    if (value == callBackMode_.load())
        return;
    if (value == cmCallback)
    {
        ShowCallBacksRefused("TMMHiTimer");
        return;
    }
    TearDown();
    callBackMode_.store(value);
    Build();
}

void TMMHiTimer::SetEnabled(bool value)
{
    if (value == enabled_.load())
        return;
    TearDown();
    enabled_.store(value);
    Build();
}

void TMMHiTimer::SetInterval(std::int32_t value)
{
    if (value == interval_)
        return;
    TearDown();
    interval_ = value;
    Build();
}

void TMMHiTimer::SetOnTimer(TNotifyEvent value)
{
    // A worker may be inside OnTimer right now: it goes before the handler
    // changes.
    TearDown();
    onTimer_ = std::move(value);
    Build();
}

void TMMHiTimer::SetPriority(TThreadPriority value)
{
    priority_.store(value);
    if (thread_)
        thread_->SetPriority(value);
}

bool TMMHiTimer::InSync() const
{
    return link_ && link_->InSync.load();
}

void TMMHiTimer::DoTimer()
{
    if (onTimer_ && enabled_.load())
        onTimer_(this);
}

// Not gated by the designing state like Build: whatever runs must go, also
// when the timer is destroyed after switching to design mode.
void TMMHiTimer::TearDown()
{
    const TTeardownScope scope;
    if (const std::uint32_t id = timerId_.exchange(0))
        timeKillEvent(id);
    if (window_)
        window_->RemoveMessages(MM_HITIMER_TICK, MM_HITIMER_TICK);
    pendingTicks_.store(0);
    if (resolutionHeld_)
    {
        timeEndPeriod(FinestPeriod());
        resolutionHeld_ = false;
    }
    if (!link_)
        return;
    link_->StopRequest.store(true);
    link_->TickEvent.SetEvent();
    // A synchronised tick in progress means the worker waits for this very
    // thread: waiting for it here would never end.
    if (waitForTerminate_ && !link_->InSync.load())
        WaitForAny({&link_->ThreadStartEvent}, nullptr, ThreadStartTimeoutMs,
                   /*serveSynchronize=*/true);
    LockServingSynchronize(link_->OwnerLock);
    link_->Owner = nullptr;
    link_->OwnerLock.unlock();
    link_.reset();
    thread_ = nullptr;
}

void TMMHiTimer::Build()
{
    if (IsDesigning() || interval_ == 0 || !enabled_.load() || !onTimer_)
        return;
    if (callBackMode_.load() == cmWindow && !window_)
        window_ = std::make_unique<TMessageWindow>([this](const TMessage& message)
                                                   { WindowProc(message); });
    if (callBackMode_.load() == cmThread)
        StartWorker();
    timeBeginPeriod(FinestPeriod());
    resolutionHeld_ = true;
    const std::uint32_t id =
        timeSetEvent(static_cast<std::uint32_t>(interval_), 0, &TMMHiTimer::TimerCallback,
                     reinterpret_cast<std::uintptr_t>(this));
    if (id == 0)
        throw EOutOfResources(NotEnoughTimers);
    timerId_.store(id);
}

void TMMHiTimer::StartWorker()
{
    auto link = std::make_shared<TTimerLink>();
    link->Owner = this;
    auto* thread = new TMMTimerThread(link);
    link_ = link;
    thread_ = thread;
    try
    {
        thread->Resume();
    }
    catch (const std::system_error&)
    {
        // The thread object cannot be deleted once its start has failed
        // (its destructor would wait for a thread that never ran); it stays.
        link_.reset();
        thread_ = nullptr;
        throw EMMHiTimerError(CouldNotCreateThread);
    }
    if (link->ThreadStartEvent.WaitFor(ThreadStartTimeoutMs) != TWaitResult::wrSignaled)
        throw EMMHiTimerError(CouldNotCreateThread);
}

void TMMHiTimer::TimerCallback(std::uint32_t timerId, std::uintptr_t user)
{
    auto* timer = reinterpret_cast<TMMHiTimer*>(user);
    if (!timer)
        return;
    const TMMCBMode mode = timer->callBackMode_.load();
    if (mode == cmThread)
        timer->link_->TickEvent.SetEvent();
    // Only this thread raises the count, so the test and the increment need
    // not be one operation.
    else if (mode == cmWindow && timer->pendingTicks_.load() < MaxPendingTicks)
    {
        ++timer->pendingTicks_;
        timer->window_->Post(MM_HITIMER_TICK, timerId);
    }
}

void TMMHiTimer::WindowProc(const TMessage& message)
{
    const std::uint32_t tickTimer = static_cast<std::uint32_t>(message.WParam);
    if (message.Msg != MM_HITIMER_TICK || tickTimer != timerId_.load())
        return;
    RunGuarded([this] { DoTimer(); });
    // A rebuild inside OnTimer started counting afresh for a new timer.
    if (tickTimer == timerId_.load())
        --pendingTicks_;
}

} // namespace keb
