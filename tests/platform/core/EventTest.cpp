#include "platform/core/Event.h"

#include "platform/core/Lock.h"
#include "platform/core/Wait.h"

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
