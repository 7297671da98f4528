#include "TimerTestSupport.h"
#include "devices/MMHTimer.h"
#include "tests/platform_core/Watchdog.h"

#include <atomic>
#include <thread>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace keb
{
namespace
{
using namespace std::chrono_literals;
using test::ManualTimerTest;
using test::PumpFor;
using test::PumpUntil;

using HiTimerThread = ManualTimerTest;

// The program's timer: cmThread, Synchronize, 25 ms. A handler that takes
// 60 ms (of the timer's clock) lets two or three ticks come meanwhile; they
// collapse into one late tick, so the handler runs back to back but never
// catches up on the ticks it missed.
TEST_F(HiTimerThread, SynchronisedTicksRunInTheMainThreadAndCollapse)
{
    test::TWatchdog watchdog(30s, "SynchronisedTicksRunInTheMainThreadAndCollapse");
    TMMHiTimer timer(nullptr);
    timer.SetEnabled(false);
    timer.SetCallBackMode(cmThread);
    timer.SetInterval(25);
    int calls = 0;
    bool allInMainThread = true;
    timer.SetOnTimer(
        [&](TMMHiTimer*)
        {
            allInMainThread = allInMainThread && IsMainThread();
            if (++calls <= 3)
                AdvanceTimerService(60);
        });
    timer.SetEnabled(true);

    AdvanceTimerService(25);
    ASSERT_TRUE(PumpUntil([&] { return calls >= 4; }));
    PumpFor(200ms);
    EXPECT_EQ(calls, 4) << "one late tick after each long handler, none queued";
    EXPECT_GE(TimerTickCount(timer.TimerID()), 7u);
    EXPECT_TRUE(allInMainThread);

    AdvanceTimerService(25);
    ASSERT_TRUE(PumpUntil([&] { return calls == 5; }));
}

// Disabling the timer from a synchronised OnTimer: the worker waits for the
// main thread, so the rebuild must not wait for the worker, even when asked to.
TEST_F(HiTimerThread, DisablingFromASynchronisedTickDoesNotDeadlock)
{
    test::TWatchdog watchdog(30s, "DisablingFromASynchronisedTickDoesNotDeadlock");
    TMMHiTimer timer(nullptr);
    timer.SetCallBackMode(cmThread);
    timer.SetWaitForTerminate(true);
    timer.SetInterval(25);
    int calls = 0;
    bool wasInSync = false;
    timer.SetOnTimer(
        [&](TMMHiTimer* sender)
        {
            ++calls;
            wasInSync = sender->InSync();
            sender->SetEnabled(false);
        });
    AdvanceTimerService(25);
    ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
    EXPECT_TRUE(wasInSync);
    EXPECT_FALSE(timer.ThreadRunning());
    EXPECT_EQ(timer.TimerID(), 0u);

    timer.SetEnabled(true);
    AdvanceTimerService(25);
    ASSERT_TRUE(PumpUntil([&] { return calls == 2; })) << "a new worker after re-enabling";
}

TEST_F(HiTimerThread, DestroyingDuringAPendingSynchronisedTickFiresNothing)
{
    test::TWatchdog watchdog(30s, "DestroyingDuringAPendingSynchronisedTickFiresNothing");
    int calls = 0;
    {
        TMMHiTimer timer(nullptr);
        timer.SetCallBackMode(cmThread);
        timer.SetInterval(25);
        timer.SetOnTimer([&](TMMHiTimer*) { ++calls; });
        AdvanceTimerService(25);
    }
    PumpFor(100ms);
    EXPECT_EQ(calls, 0);
}

#ifdef __linux__
// Without Synchronize the ticks run in the worker, whose priority follows the
// property at once.
TEST_F(HiTimerThread, UnsynchronisedTicksRunInTheWorkerAtItsPriority)
{
    test::TWatchdog watchdog(30s, "UnsynchronisedTicksRunInTheWorkerAtItsPriority");
    TMMHiTimer timer(nullptr);
    timer.SetCallBackMode(cmThread);
    timer.SetSynchronize(false);
    timer.SetInterval(25);
    std::atomic<int> niceValue{-100};
    std::atomic<int> calls{0};
    std::atomic<bool> inMainThread{false};
    timer.SetOnTimer(
        [&](TMMHiTimer*)
        {
            inMainThread = inMainThread || IsMainThread();
            niceValue = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
            ++calls;
        });
    AdvanceTimerService(25);
    ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
    const int normal = niceValue;

    timer.SetPriority(TThreadPriority::tpLowest);
    EXPECT_EQ(timer.ThreadRunning(), true) << "no rebuild";
    AdvanceTimerService(25);
    ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
    EXPECT_EQ(niceValue, normal + 10);
    EXPECT_FALSE(inMainThread);
}
#endif

} // namespace
} // namespace keb
