#include "platform/core/PeriodicTimer.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace keb
{
namespace
{
constexpr TTimeCaps kCaps{1, 1000000};

using TClock = std::chrono::steady_clock;

struct TTimer
{
    std::uint32_t Id = 0;
    std::chrono::milliseconds Period{0};
    TTimerCallback Callback = nullptr;
    void* User = nullptr;
    bool Periodic = true;
    bool Killed = false; // guarded by TTimerTable::Lock
    std::thread Thread;
};

struct TTimerTable
{
    std::mutex Lock;
    std::condition_variable Changed;
    std::map<std::uint32_t, std::shared_ptr<TTimer>> Timers;
    std::map<std::uint32_t, int> PeriodRequests;
    std::uint32_t NextId = 1;
    std::size_t Limit = 64;
};

TTimerTable& Table()
{
    static auto* table = new TTimerTable;
    return *table;
}

thread_local const TTimer* runningTimer = nullptr;

// The next due time after `due` that lies in the future.
TClock::time_point NextDue(TClock::time_point due, std::chrono::milliseconds period)
{
    const auto now = TClock::now();
    due += period;
    if (due < now)
        due += (now - due) / period * period + period;
    return due;
}

void RunTimer(std::shared_ptr<TTimer> timer)
{
    runningTimer = timer.get();
    TTimerTable& table = Table();
    auto due = TClock::now() + timer->Period;
    std::unique_lock lock(table.Lock);
    for (;;)
    {
        if (table.Changed.wait_until(lock, due, [&] { return timer->Killed; }))
            return;
        lock.unlock();
        timer->Callback(timer->Id, timer->User);
        lock.lock();
        if (timer->Killed)
            return;
        if (!timer->Periodic)
        {
            timer->Killed = true;
            table.Timers.erase(timer->Id);
            timer->Thread.detach();
            return;
        }
        due = NextDue(due, timer->Period);
    }
}
} // namespace

TTimeCaps timeGetDevCaps()
{
    return kCaps;
}

bool timeBeginPeriod(std::uint32_t period)
{
    if (period < kCaps.wPeriodMin || period > kCaps.wPeriodMax)
        return false;
    TTimerTable& table = Table();
    std::lock_guard guard(table.Lock);
    ++table.PeriodRequests[period];
    return true;
}

bool timeEndPeriod(std::uint32_t period)
{
    TTimerTable& table = Table();
    std::lock_guard guard(table.Lock);
    const auto found = table.PeriodRequests.find(period);
    if (found == table.PeriodRequests.end())
        return false;
    if (--found->second == 0)
        table.PeriodRequests.erase(found);
    return true;
}

std::uint32_t timeSetEvent(std::uint32_t delayMs, std::uint32_t /*resolution*/,
                           TTimerCallback callback, void* user, bool periodic)
{
    if (!callback || delayMs < kCaps.wPeriodMin || delayMs > kCaps.wPeriodMax)
        return 0;
    TTimerTable& table = Table();
    std::lock_guard guard(table.Lock);
    if (table.Timers.size() >= table.Limit)
        return 0;
    auto timer = std::make_shared<TTimer>();
    timer->Id = table.NextId++;
    if (table.NextId == 0)
        table.NextId = 1;
    timer->Period = std::chrono::milliseconds(delayMs);
    timer->Callback = callback;
    timer->User = user;
    timer->Periodic = periodic;
    table.Timers.emplace(timer->Id, timer);
    // The thread waits for the table lock held here, so Thread is stored
    // before the timer can detach it.
    timer->Thread = std::thread(RunTimer, timer);
    return timer->Id;
}

bool timeKillEvent(std::uint32_t timerId)
{
    TTimerTable& table = Table();
    std::shared_ptr<TTimer> timer;
    {
        std::lock_guard guard(table.Lock);
        const auto found = table.Timers.find(timerId);
        if (found == table.Timers.end())
            return false;
        timer = found->second;
        table.Timers.erase(found);
        timer->Killed = true;
    }
    table.Changed.notify_all();
    if (runningTimer == timer.get())
        timer->Thread.detach();
    else
        timer->Thread.join();
    return true;
}

std::size_t SetPeriodicTimerLimit(std::size_t limit)
{
    TTimerTable& table = Table();
    std::lock_guard guard(table.Lock);
    const std::size_t previous = table.Limit;
    table.Limit = limit;
    return previous;
}

} // namespace keb
