#include "TimerTestSupport.h"
#include "devices/MMHTimer.h"
#include "tests/platform/core/Watchdog.h"

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

// A teardown that waits for its worker serves the main thread's synchronise
// requests meanwhile. A tick waiting among them (here another timer's) must
// not run inside it: it is dropped, and the next one runs as usual. The worker
// being torn down is held in an unsynchronised OnTimer until the waiting tick
// has been served, so the teardown is certain to serve it.
TEST_F(HiTimerThread, NoTickRunsInsideATeardown)
{
    test::TWatchdog watchdog(30s, "NoTickRunsInsideATeardown");
    TMMHiTimer ticking(nullptr);
    ticking.SetCallBackMode(cmThread);
    ticking.SetInterval(25);
    std::atomic<bool> tearingDown{false};
    int calls = 0;
    int insideTeardown = 0;
    ticking.SetOnTimer(
        [&](TMMHiTimer*)
        {
            ++calls;
            insideTeardown += tearingDown.load() ? 1 : 0;
        });

    TMMHiTimer busy(nullptr);
    busy.SetCallBackMode(cmThread);
    busy.SetSynchronize(false);
    busy.SetInterval(25);
    std::atomic<bool> holding{false};
    busy.SetOnTimer(
        [&](TMMHiTimer*)
        {
            if (holding.exchange(true))
                return;
            const auto limit = std::chrono::steady_clock::now() + 10s;
            while (!tearingDown.load() && std::chrono::steady_clock::now() < limit)
                std::this_thread::yield();
            while (ticking.InSync() && std::chrono::steady_clock::now() < limit)
                std::this_thread::yield();
        });

    std::atomic<bool> requested{false};
    const auto previousHook = SetMainLoopWakeHook([&] { requested = true; });
    AdvanceTimerService(25);
    // The tick's synchronise request is queued once the wake hook has run.
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!(requested.load() && holding.load()) && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    SetMainLoopWakeHook(previousHook);
    ASSERT_TRUE(requested.load() && holding.load());
    ASSERT_TRUE(ticking.InSync());

    tearingDown = true;
    busy.SetInterval(500);
    tearingDown = false;
    EXPECT_EQ(insideTeardown, 0);
    EXPECT_FALSE(ticking.InSync()) << "the waiting tick was served, and dropped";
    EXPECT_EQ(busy.Interval(), 500);
    EXPECT_TRUE(busy.ThreadRunning());

    AdvanceTimerService(25);
    ASSERT_TRUE(PumpUntil([&] { return calls >= 1; })) << "the next tick runs";
    EXPECT_EQ(insideTeardown, 0);
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
