#include "TimerTestSupport.h"
#include "devices/MMHTimerPeriodic.h"
#include "platform/core/Event.h"
#include "tests/platform/core/Watchdog.h"

#include <atomic>
#include <thread>

namespace keb
{
namespace
{
using test::ManualTimerTest;

struct TTickLog
{
    std::atomic<int> Ticks{0};
    std::atomic<bool> InMainThread{false};
};

void CountTick(std::uint32_t, std::uintptr_t user)
{
    auto* log = reinterpret_cast<TTickLog*>(user);
    ++log->Ticks;
    if (IsMainThread())
        log->InMainThread = true;
}

using PeriodicTimer = ManualTimerTest;

TEST_F(PeriodicTimer, KeepsEachScheduleInTheTimerThread)
{
    TTickLog fast, slow;
    const std::uint32_t fastId =
        timeSetEvent(10, 0, CountTick, reinterpret_cast<std::uintptr_t>(&fast));
    const std::uint32_t slowId =
        timeSetEvent(25, 0, CountTick, reinterpret_cast<std::uintptr_t>(&slow));
    ASSERT_NE(fastId, 0u);
    ASSERT_NE(slowId, fastId);

    AdvanceTimerService(9);
    EXPECT_EQ(fast.Ticks, 0);
    AdvanceTimerService(91);
    EXPECT_EQ(fast.Ticks, 10);
    EXPECT_EQ(slow.Ticks, 4);
    EXPECT_EQ(TimerTickCount(slowId), 4u);
    EXPECT_FALSE(fast.InMainThread);

    EXPECT_EQ(timeKillEvent(fastId), TIMERR_NOERROR);
    AdvanceTimerService(50);
    EXPECT_EQ(fast.Ticks, 10);
    EXPECT_EQ(slow.Ticks, 6);
    EXPECT_EQ(timeKillEvent(slowId), TIMERR_NOERROR);
    EXPECT_EQ(timeKillEvent(slowId), TIMERR_NOCANDO);
    EXPECT_EQ(TimerTickCount(slowId), 0u);

    const std::uint32_t nextId =
        timeSetEvent(10, 0, CountTick, reinterpret_cast<std::uintptr_t>(&fast));
    EXPECT_GT(nextId, slowId) << "identifiers are never reused";
    timeKillEvent(nextId);
}

// What a callback uses may be freed as soon as timeKillEvent returns: the
// kill waits for a callback that is running (the sanitizers see a use after
// free otherwise).
struct TSlowTick
{
    TEvent Entered{true, false};
    TEvent Release{true, false};
    int* Resource = new int(0);
};

void RunSlowTick(std::uint32_t, std::uintptr_t user)
{
    auto* tick = reinterpret_cast<TSlowTick*>(user);
    tick->Entered.SetEvent();
    tick->Release.WaitFor();
    ++*tick->Resource;
}

TEST_F(PeriodicTimer, KillWaitsForARunningCallback)
{
    test::TWatchdog watchdog(std::chrono::seconds(20), "KillWaitsForARunningCallback");
    TSlowTick tick;
    const std::uint32_t id =
        timeSetEvent(5, 0, RunSlowTick, reinterpret_cast<std::uintptr_t>(&tick));
    std::thread advancer([] { AdvanceTimerService(5); });
    tick.Entered.WaitFor();
    std::thread killer(
        [&]
        {
            timeKillEvent(id);
            delete tick.Resource;
        });
    tick.Release.SetEvent();
    killer.join();
    advancer.join();
}

void KillSelf(std::uint32_t timerId, std::uintptr_t user)
{
    auto* log = reinterpret_cast<TTickLog*>(user);
    ++log->Ticks;
    timeKillEvent(timerId);
}

TEST_F(PeriodicTimer, ACallbackMayKillItsOwnTimer)
{
    test::TWatchdog watchdog(std::chrono::seconds(20), "ACallbackMayKillItsOwnTimer");
    TTickLog log;
    timeSetEvent(5, 0, KillSelf, reinterpret_cast<std::uintptr_t>(&log));
    AdvanceTimerService(50);
    EXPECT_EQ(log.Ticks, 1);
}

} // namespace
} // namespace keb
