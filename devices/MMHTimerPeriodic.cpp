#include "devices/MMHTimerPeriodic.h"

#include "platform/core/Exceptions.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace keb
{
namespace
{
constexpr std::uint32_t PeriodMin = 1;
constexpr std::uint32_t PeriodMax = 1000000;

struct TTimerEntry
{
    std::uint32_t Id;
    std::uint32_t Period;
    std::int64_t Due;
    TTimerCallback Callback;
    std::uintptr_t User;
    std::uint64_t Ticks;
};

class TTimerService
{
  public:
    TTimerService() : origin_(std::chrono::steady_clock::now())
    {
        std::thread([this] { Run(); }).detach();
    }

    std::uint32_t Add(std::uint32_t period, TTimerCallback callback, std::uintptr_t user)
    {
        std::lock_guard guard(lock_);
        const std::uint32_t id = nextId_++;
        timers_.push_back(TTimerEntry{id, period, NowLocked() + period, callback, user, 0});
        changed_.notify_all();
        return id;
    }

    bool Kill(std::uint32_t id)
    {
        std::unique_lock lock(lock_);
        const auto found = Find(id);
        if (found == timers_.end())
            return false;
        timers_.erase(found);
        if (std::this_thread::get_id() != timerThread_)
            changed_.wait(lock, [&] { return running_ != id; });
        return true;
    }

    void SetManual(bool manual)
    {
        std::lock_guard guard(lock_);
        if (manual == manual_)
            return;
        manualNow_ = 0;
        manual_ = manual;
        const std::int64_t now = NowLocked();
        for (TTimerEntry& timer : timers_)
            timer.Due = now + timer.Period;
        changed_.notify_all();
    }

    void Advance(std::uint32_t milliseconds)
    {
        std::unique_lock lock(lock_);
        if (!manual_)
            return;
        manualNow_ += milliseconds;
        changed_.notify_all();
        changed_.wait(lock, [&] { return running_ == 0 && !AnyDueLocked(); });
    }

    std::uint64_t Ticks(std::uint32_t id)
    {
        std::lock_guard guard(lock_);
        const auto found = Find(id);
        return found == timers_.end() ? 0 : found->Ticks;
    }

  private:
    std::vector<TTimerEntry>::iterator Find(std::uint32_t id)
    {
        return std::find_if(timers_.begin(), timers_.end(),
                            [id](const TTimerEntry& timer) { return timer.Id == id; });
    }

    std::int64_t NowLocked() const
    {
        if (manual_)
            return manualNow_;
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - origin_)
            .count();
    }

    std::vector<TTimerEntry>::iterator EarliestLocked()
    {
        return std::min_element(timers_.begin(), timers_.end(),
                                [](const TTimerEntry& a, const TTimerEntry& b)
                                { return a.Due < b.Due; });
    }

    bool AnyDueLocked()
    {
        const auto earliest = EarliestLocked();
        return earliest != timers_.end() && earliest->Due <= NowLocked();
    }

    void Run()
    {
        std::unique_lock lock(lock_);
        timerThread_ = std::this_thread::get_id();
        for (;;)
        {
            const auto earliest = EarliestLocked();
            if (earliest == timers_.end())
            {
                changed_.wait(lock);
                continue;
            }
            if (earliest->Due > NowLocked())
            {
                if (manual_)
                    changed_.wait(lock);
                else
                    changed_.wait_until(lock, origin_ + std::chrono::milliseconds(earliest->Due));
                continue;
            }
            earliest->Due += earliest->Period;
            ++earliest->Ticks;
            const TTimerEntry tick = *earliest;
            running_ = tick.Id;
            lock.unlock();
            Fire(tick);
            lock.lock();
            running_ = 0;
            changed_.notify_all();
        }
    }

    static void Fire(const TTimerEntry& tick)
    {
        try
        {
            tick.Callback(tick.Id, tick.User);
        }
        catch (const std::exception& error)
        {
            HandleException(error);
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<TTimerEntry> timers_;
    const std::chrono::steady_clock::time_point origin_;
    std::thread::id timerThread_;
    std::uint32_t nextId_ = 1;
    std::uint32_t running_ = 0;
    bool manual_ = false;
    std::int64_t manualNow_ = 0;
};

// Never destroyed: timers may still be killed while statics go away.
TTimerService& Service()
{
    static TTimerService* service = new TTimerService;
    return *service;
}

std::mutex resolutionLock;
int resolutionRequests = 0;

bool IsValidPeriod(std::uint32_t periodMs)
{
    return periodMs >= PeriodMin && periodMs <= PeriodMax;
}
} // namespace

std::uint32_t timeGetDevCaps(TTimeCaps& caps)
{
    caps.wPeriodMin = PeriodMin;
    caps.wPeriodMax = PeriodMax;
    return TIMERR_NOERROR;
}

std::uint32_t timeBeginPeriod(std::uint32_t periodMs)
{
    if (!IsValidPeriod(periodMs))
        return TIMERR_NOCANDO;
    std::lock_guard guard(resolutionLock);
    ++resolutionRequests;
    return TIMERR_NOERROR;
}

std::uint32_t timeEndPeriod(std::uint32_t periodMs)
{
    std::lock_guard guard(resolutionLock);
    if (!IsValidPeriod(periodMs) || resolutionRequests == 0)
        return TIMERR_NOCANDO;
    --resolutionRequests;
    return TIMERR_NOERROR;
}

int TimerResolutionRequests()
{
    std::lock_guard guard(resolutionLock);
    return resolutionRequests;
}

std::uint32_t timeSetEvent(std::uint32_t periodMs, std::uint32_t, TTimerCallback callback,
                           std::uintptr_t user)
{
    if (!IsValidPeriod(periodMs) || !callback)
        return 0;
    return Service().Add(periodMs, callback, user);
}

std::uint32_t timeKillEvent(std::uint32_t timerId)
{
    return Service().Kill(timerId) ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

void SetTimerServiceManual(bool manual)
{
    Service().SetManual(manual);
}

void AdvanceTimerService(std::uint32_t milliseconds)
{
    Service().Advance(milliseconds);
}

std::uint64_t TimerTickCount(std::uint32_t timerId)
{
    return Service().Ticks(timerId);
}

} // namespace keb
