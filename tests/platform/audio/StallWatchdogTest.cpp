#include "platform/audio/portaudio/StallWatchdog.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace keb::test
{

namespace
{

class TStallCounter
{
  public:
    void Stalled()
    {
        {
            std::lock_guard guard(lock_);
            ++count_;
        }
        arrived_.notify_all();
    }

    bool WaitForStall()
    {
        std::unique_lock guard(lock_);
        return arrived_.wait_for(guard, std::chrono::seconds(20), [this] { return count_ > 0; });
    }

    int Stalls()
    {
        std::lock_guard guard(lock_);
        return count_;
    }

  private:
    std::mutex lock_;
    std::condition_variable arrived_;
    int count_ = 0;
};

} // namespace

TEST(StallWatchdogTest, ReportsAStreamWithoutCallbacksOnceAndAgainAfterARestart)
{
    TStallCounter counter;
    TStallWatchdog watchdog(std::chrono::milliseconds(10), [&counter] { counter.Stalled(); });
    watchdog.Beat(); // beats before Start do not count as life
    watchdog.Start();
    ASSERT_TRUE(counter.WaitForStall());
    watchdog.Stop();
    EXPECT_EQ(counter.Stalls(), 1);

    watchdog.Start();
    watchdog.Stop();
    watchdog.Start();
    watchdog.Beat();
    watchdog.Stop();
    watchdog.Start();
    EXPECT_TRUE(counter.WaitForStall());
}

TEST(StallWatchdogTest, StopEndsTheWatchWithoutAReport)
{
    TStallCounter counter;
    TStallWatchdog watchdog(std::chrono::hours(1), [&counter] { counter.Stalled(); });
    watchdog.Start();
    watchdog.Stop();
    watchdog.Stop();
    EXPECT_EQ(counter.Stalls(), 0);
}

} // namespace keb::test
