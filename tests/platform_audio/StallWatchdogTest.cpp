#include "platform/audio/portaudio/StallWatchdog.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace keb::test
{

namespace
{

class StallCounter
{
  public:
    void Stalled()
    {
        {
            std::lock_guard Guard(Lock);
            ++Count;
        }
        Arrived.notify_all();
    }

    bool WaitForStall()
    {
        std::unique_lock Guard(Lock);
        return Arrived.wait_for(Guard, std::chrono::seconds(20), [this] { return Count > 0; });
    }

    int Stalls()
    {
        std::lock_guard Guard(Lock);
        return Count;
    }

  private:
    std::mutex Lock;
    std::condition_variable Arrived;
    int Count = 0;
};

} // namespace

TEST(StallWatchdogTest, ReportsAStreamWithoutCallbacksOnceAndAgainAfterARestart)
{
    StallCounter Counter;
    StallWatchdog Watchdog(std::chrono::milliseconds(10), [&Counter] { Counter.Stalled(); });
    Watchdog.Beat(); // beats before Start do not count as life
    Watchdog.Start();
    ASSERT_TRUE(Counter.WaitForStall());
    Watchdog.Stop();
    EXPECT_EQ(Counter.Stalls(), 1);

    Watchdog.Start();
    Watchdog.Stop();
    Watchdog.Start();
    Watchdog.Beat();
    Watchdog.Stop();
    Watchdog.Start();
    EXPECT_TRUE(Counter.WaitForStall());
}

TEST(StallWatchdogTest, StopEndsTheWatchWithoutAReport)
{
    StallCounter Counter;
    StallWatchdog Watchdog(std::chrono::hours(1), [&Counter] { Counter.Stalled(); });
    Watchdog.Start();
    Watchdog.Stop();
    Watchdog.Stop();
    EXPECT_EQ(Counter.Stalls(), 0);
}

} // namespace keb::test
