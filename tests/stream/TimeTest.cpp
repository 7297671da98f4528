#include "platform/core/Clock.h"
#include "platform/core/MessageWindow.h"
#include "stream/MMTime.h"
#include "tests/platform/core/Watchdog.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace keb
{
namespace
{
using namespace std::chrono_literals;
}

TEST(StreamTime, MicrosecondClockKeepsTheFrequencyItFirstRead)
{
    TManualClock clock(1000000);
    TClockSourceGuard guard(clock);
    clock.AdvanceMicroseconds(1000000);
    EXPECT_EQ(MicrosecondClock(), 1000000);
    // The counter now runs twice as fast, but the remembered frequency stays
    // until the clock source is replaced.
    clock.SetFrequency(2000000);
    EXPECT_EQ(MicrosecondClock(), 2000000);
    TClockSourceGuard replaced(clock);
    EXPECT_EQ(MicrosecondClock(), 1000000);
}

TEST(StreamTime, MicrosecondClockRoundsAtAnOddFrequency)
{
    // 7 ticks per second: 1 s + 1/7 s = 1142857.14 us, + 4/7 s = 1571428.57 us.
    TManualClock clock(7);
    TClockSourceGuard guard(clock);
    clock.AdvanceMicroseconds(1142858);
    EXPECT_EQ(MicrosecondClock(), 1142857);
    clock.AdvanceMicroseconds(1571429 - 1142858);
    EXPECT_EQ(MicrosecondClock(), 1571429);
}

TEST(StreamTime, WithoutAUsableCounterTheMillisecondClockIsUsed)
{
    for (std::int64_t frequency :
         {std::int64_t{0}, std::int64_t{1}, std::int64_t{1} << 32, std::int64_t{0x80000000}})
    {
        TManualClock clock(frequency);
        TClockSourceGuard guard(clock);
        clock.AdvanceMicroseconds(12345678);
        EXPECT_EQ(MicrosecondClock(), 12345000) << frequency;
    }
}

TEST(StreamTime, AZeroFrequencyIsAskedForAgainOnTheNextUse)
{
    TManualClock clock(0);
    TClockSourceGuard guard(clock);
    clock.AdvanceMicroseconds(2000);
    EXPECT_EQ(MicrosecondClock(), 2000);
    clock.SetFrequency(1000000);
    clock.AdvanceMicroseconds(1);
    EXPECT_EQ(MicrosecondClock(), 2001);
}

TEST(StreamTime, DelayPumpsTheMainLoopUntilTheTicksHaveAdvanced)
{
    test::TWatchdog watchdog(30s, "Delay with pumping");
    TManualClock clock;
    TClockSourceGuard guard(clock);
    int handled = 0;
    TMessageWindow* self = nullptr;
    // Each message moves the clock by 4 ms and posts the next one, so every
    // pass of Delay handles exactly one.
    TMessageWindow window(
        [&](const TMessage&)
        {
            ++handled;
            clock.AdvanceMicroseconds(4000);
            self->Post(1);
        });
    self = &window;
    window.Post(1);
    Delay(10, true);
    EXPECT_EQ(handled, 3);
    Delay(-1, true);
    EXPECT_EQ(handled, 3);
}

TEST(StreamTime, DelayWithoutPumpingLeavesMessagesAlone)
{
    test::TWatchdog watchdog(30s, "Delay without pumping");
    TManualClock clock;
    TClockSourceGuard guard(clock);
    int handled = 0;
    TMessageWindow window([&](const TMessage&) { ++handled; });
    window.Post(1);
    std::atomic<bool> stop{false};
    std::thread ticker(
        [&]
        {
            while (!stop)
            {
                clock.AdvanceMicroseconds(1000);
                std::this_thread::yield();
            }
        });
    Delay(20, false);
    stop = true;
    ticker.join();
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(window.RemoveMessages(1, 1), 1u);
}

} // namespace keb
