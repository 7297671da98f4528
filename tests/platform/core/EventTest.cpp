#include "platform/core/Event.h"

#include "platform/core/Lock.h"
#include "platform/core/Wait.h"
#include "tests/platform/core/Watchdog.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace keb
{

TEST(SyncObjects, AutoResetLetsOneWaitThroughManualResetStays)
{
    TEvent automatic(false, true);
    EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrTimeout);

    TEvent manual(true, false);
    EXPECT_EQ(manual.WaitFor(1), TWaitResult::wrTimeout);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(SyncObjects, SetFromAnotherThreadWakesTheWaiter)
{
    TEvent ready(false, false);
    std::thread setter([&] { ready.SetEvent(); });
    EXPECT_EQ(ready.WaitFor(Infinite), TWaitResult::wrSignaled);
    setter.join();
}

TEST(SyncObjects, WaitForAnyReportsTheFirstSignalledEventThenAMessage)
{
    TEvent close(false, false);
    TEvent flush(true, false);
    TMessageQueue queue;
    EXPECT_EQ(WaitForAny({&close, &flush}, &queue, 0), WaitTimeout);

    queue.Post(TMessage{0, 7, 1, 2});
    flush.SetEvent();
    EXPECT_EQ(WaitForAny({&close, &flush}, &queue, Infinite), 1);
    flush.ResetEvent();
    EXPECT_EQ(WaitForAny({&close, &flush}, &queue, Infinite), 2);
    close.SetEvent();
    EXPECT_EQ(WaitForAny({&close, &flush}, &queue, Infinite), 0);
    // The auto-reset event was consumed; the message is still there.
    EXPECT_EQ(WaitForAny({&close}, nullptr, 0), WaitTimeout);
    EXPECT_EQ(queue.Count(), 1u);
}

// More waiting threads than one change wakes after the lock is released.
TEST(SyncObjects, OneSetWakesEveryWaiterOfAManualResetEvent)
{
    using namespace std::chrono_literals;
    test::TWatchdog watchdog(30s, "many waiters on one event");
    constexpr int Waiters = 20;
    TEvent go(true, false);
    std::atomic<int> ready{0};
    std::atomic<int> through{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < Waiters; ++i)
        threads.emplace_back(
            [&]
            {
                ++ready;
                if (go.WaitFor(Infinite) == TWaitResult::wrSignaled)
                    ++through;
            });
    // All but the last few are asleep in their wait by then.
    while (ready.load() < Waiters)
        std::this_thread::yield();
    go.SetEvent();
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(through.load(), Waiters);
}

// Waits that time out now and then, so that wake-ups arrive after their wait
// has ended: each wait that follows still gets its own.
TEST(SyncObjects, WakeUpsAfterATimeOutDoNotCostTheNextWaitItsOwn)
{
    using namespace std::chrono_literals;
    test::TWatchdog watchdog(30s, "timed and untimed hand-overs");
    constexpr int Rounds = 2000;
    TEvent ping(false, false);
    TEvent pong(false, false);
    std::thread partner(
        [&]
        {
            for (int round = 0; round < Rounds; ++round)
            {
                if (round % 2 == 0)
                {
                    while (ping.WaitFor(0) == TWaitResult::wrTimeout)
                    {
                    }
                }
                else
                {
                    ASSERT_EQ(ping.WaitFor(Infinite), TWaitResult::wrSignaled);
                }
                pong.SetEvent();
            }
        });
    int answered = 0;
    for (int round = 0; round < Rounds; ++round)
    {
        ping.SetEvent();
        if (pong.WaitFor(Infinite) == TWaitResult::wrSignaled)
            ++answered;
    }
    partner.join();
    EXPECT_EQ(answered, Rounds);
}

// A thread-local object whose destructor waits for an event, as a thread ends.
class TWaitAtThreadEnd
{
  public:
    TWaitAtThreadEnd(TEvent& entered, TEvent& release, std::atomic<bool>& released)
        : entered_(entered), release_(release), released_(released)
    {
    }
    ~TWaitAtThreadEnd()
    {
        entered_.SetEvent();
        released_.store(release_.WaitFor(Infinite) == TWaitResult::wrSignaled);
    }
    TWaitAtThreadEnd(const TWaitAtThreadEnd&) = delete;
    TWaitAtThreadEnd& operator=(const TWaitAtThreadEnd&) = delete;

  private:
    TEvent& entered_;
    TEvent& release_;
    std::atomic<bool>& released_;
};

// An ending thread's waiting state is handed on to the next thread that
// waits; a wait in the ending thread's own teardown must not use it too. The
// next thread waits while the ending one does (unless the ending one stalls
// for longer than that wait), then releases it.
TEST(SyncObjects, AWaitWhileAThreadEndsKeepsItsWakeUpsFromTheNextThread)
{
    using namespace std::chrono_literals;
    test::TWatchdog watchdog(30s, "waits while a thread ends");
    TEvent entered(true, false);
    TEvent release(true, false);
    std::atomic<bool> released{false};
    std::thread ending(
        [&]
        {
            thread_local TWaitAtThreadEnd atEnd(entered, release, released);
            TEvent never(false, false);
            EXPECT_EQ(never.WaitFor(1), TWaitResult::wrTimeout);
        });
    ASSERT_EQ(entered.WaitFor(Infinite), TWaitResult::wrSignaled);
    std::thread next(
        [&]
        {
            TEvent quiet(false, false);
            EXPECT_EQ(quiet.WaitFor(50), TWaitResult::wrTimeout);
            release.SetEvent();
        });
    next.join();
    ending.join();
    EXPECT_TRUE(released.load());
}

TEST(SyncObjects, CriticalSectionIsRecursiveAndGuardsACounter)
{
    TCriticalSection lock;
    int total = 0;
    auto work = [&]
    {
        for (int i = 0; i < 10000; ++i)
        {
            std::lock_guard outer(lock);
            std::lock_guard inner(lock);
            ++total;
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back(work);
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(total, 30000);
}

} // namespace keb
