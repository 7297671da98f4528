#include "platform/core/Clock.h"

#include <gtest/gtest.h>

namespace keb
{

TEST(Clocks, SteadyClockNeverRunsBackwards)
{
    const std::int64_t first = QueryPerformanceCounter();
    EXPECT_GE(QueryPerformanceCounter(), first);
    EXPECT_EQ(QueryPerformanceFrequency(), 1000000000);
}

TEST(Clocks, ManualClockReplacesEveryClockUntilTheGuardEnds)
{
    const std::uint32_t generation = ClockSourceGeneration();
    {
        TManualClock clock(3579545);
        TClockSourceGuard guard(clock);
        EXPECT_NE(ClockSourceGeneration(), generation);
        EXPECT_EQ(QueryPerformanceFrequency(), 3579545);
        EXPECT_EQ(QueryPerformanceCounter(), 0);
        clock.AdvanceMicroseconds(2500000);
        EXPECT_EQ(QueryPerformanceCounter(), 3579545 * 2 + 3579545 / 2);
        EXPECT_EQ(timeGetTime(), 2500u);
        EXPECT_EQ(GetTickCount(), 2500u);
    }
    EXPECT_EQ(QueryPerformanceFrequency(), 1000000000);
}

} // namespace keb
