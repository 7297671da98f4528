#include "platform/core/PeriodicTimer.h"

#include "platform/core/Event.h"
#include "tests/platform_core/Watchdog.h"

#include <atomic>
#include <gtest/gtest.h>

namespace keb
{
namespace
{
using namespace std::chrono_literals;

// Counts ticks and signals once a target count is reached.
struct TTickCounter
{
    std::atomic<int> Ticks{0};
    int Target = 0;
    std::atomic<std::uint32_t> KillOnTick{0};
    TEvent Reached{true, false};
    TEvent Killed{true, false};

    static void Tick(std::uint32_t timerId, void* user)
    {
        auto* self = static_cast<TTickCounter*>(user);
        const bool kill = self->KillOnTick.load() == timerId;
        if (kill)
            timeKillEvent(timerId);
        if (++self->Ticks == self->Target)
            self->Reached.SetEvent();
        if (kill)
            self->Killed.SetEvent();
    }
};

// Lets some periods of real time pass, measured by another timer's ticks.
void LetTicksPass(int ticks)
{
    TTickCounter witness;
    witness.Target = ticks;
    const std::uint32_t id = timeSetEvent(2, 0, &TTickCounter::Tick, &witness);
    ASSERT_NE(id, 0u);
    ASSERT_EQ(witness.Reached.WaitFor(10000), TWaitResult::wrSignaled);
    EXPECT_TRUE(timeKillEvent(id));
}
} // namespace

TEST(PeriodicTimer, TicksUntilKilledAndNeverAfter)
{
    test::TWatchdog watchdog(30s, "periodic timer");
    TTickCounter counter;
    counter.Target = 5;
    const std::uint32_t id = timeSetEvent(2, 0, &TTickCounter::Tick, &counter);
    ASSERT_NE(id, 0u);
    ASSERT_EQ(counter.Reached.WaitFor(10000), TWaitResult::wrSignaled);
    EXPECT_TRUE(timeKillEvent(id));
    const int afterKill = counter.Ticks;
    LetTicksPass(5);
    EXPECT_EQ(counter.Ticks, afterKill);
    EXPECT_FALSE(timeKillEvent(id));
}

TEST(PeriodicTimer, ATimerMayKillItselfAndAOneShotFiresOnce)
{
    test::TWatchdog watchdog(30s, "self-killing timer");
    TTickCounter selfKilling;
    selfKilling.KillOnTick = timeSetEvent(2, 0, &TTickCounter::Tick, &selfKilling);
    ASSERT_NE(selfKilling.KillOnTick.load(), 0u);

    TTickCounter oneShot;
    oneShot.Target = 1;
    ASSERT_NE(timeSetEvent(2, 0, &TTickCounter::Tick, &oneShot, /*periodic=*/false), 0u);

    ASSERT_EQ(selfKilling.Killed.WaitFor(10000), TWaitResult::wrSignaled);
    ASSERT_EQ(oneShot.Reached.WaitFor(10000), TWaitResult::wrSignaled);
    const int ticksWhenKilled = selfKilling.Ticks;
    LetTicksPass(5);
    EXPECT_EQ(selfKilling.Ticks, ticksWhenKilled);
    EXPECT_EQ(oneShot.Ticks, 1);
}

TEST(PeriodicTimer, RefusesBadRequestsAndTimersBeyondTheLimit)
{
    TTickCounter counter;
    const TTimeCaps caps = timeGetDevCaps();
    EXPECT_EQ(timeSetEvent(0, 0, &TTickCounter::Tick, &counter), 0u);
    EXPECT_EQ(timeSetEvent(caps.wPeriodMax + 1, 0, &TTickCounter::Tick, &counter), 0u);
    EXPECT_EQ(timeSetEvent(10, 0, nullptr, &counter), 0u);
    EXPECT_FALSE(timeKillEvent(0));

    const std::size_t previous = SetPeriodicTimerLimit(1);
    const std::uint32_t first = timeSetEvent(1000, 0, &TTickCounter::Tick, &counter);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(timeSetEvent(1000, 0, &TTickCounter::Tick, &counter), 0u);
    EXPECT_TRUE(timeKillEvent(first));
    SetPeriodicTimerLimit(previous);

    EXPECT_FALSE(timeEndPeriod(caps.wPeriodMin));
    EXPECT_TRUE(timeBeginPeriod(caps.wPeriodMin));
    EXPECT_TRUE(timeEndPeriod(caps.wPeriodMin));
    EXPECT_FALSE(timeEndPeriod(caps.wPeriodMin));
    EXPECT_FALSE(timeBeginPeriod(0));
}

} // namespace keb
