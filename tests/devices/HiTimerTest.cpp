#include "TimerTestSupport.h"
#include "devices/MMHTimer.h"
#include "devices/MMWaveDeviceHooks.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace keb
{
namespace
{
using test::ManualTimerTest;

// The program's configuration: cmThread, Interval 25, enabled later.
class HiTimer : public ManualTimerTest
{
  protected:
    void CountTicks(TMMHiTimer& timer)
    {
        timer.SetOnTimer([this](TMMHiTimer*) { ++ticks_; });
    }

    int ticks_ = 0;
};

TEST_F(HiTimer, RunsOnlyWithIntervalEnabledAndHandler)
{
    const int held = TimerResolutionRequests();
    TMMHiTimer timer(nullptr);
    EXPECT_EQ(timer.CallBackMode(), cmWindow);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
    EXPECT_TRUE(timer.Synchronize());
    EXPECT_FALSE(timer.WaitForTerminate());
    EXPECT_EQ(timer.Priority(), TThreadPriority::tpNormal);
    EXPECT_EQ(timer.TimerID(), 0u) << "no handler yet";

    timer.SetCallBackMode(cmThread);
    timer.SetInterval(25);
    CountTicks(timer);
    EXPECT_NE(timer.TimerID(), 0u);
    EXPECT_TRUE(timer.ThreadRunning());
    EXPECT_EQ(TimerResolutionRequests(), held + 1) << "finest resolution held while running";

    timer.SetInterval(0);
    EXPECT_EQ(timer.TimerID(), 0u);
    EXPECT_FALSE(timer.ThreadRunning());
    EXPECT_EQ(TimerResolutionRequests(), held);

    timer.SetInterval(25);
    timer.SetEnabled(false);
    EXPECT_EQ(timer.TimerID(), 0u);
    EXPECT_FALSE(timer.ThreadRunning());

    timer.SetEnabled(true);
    timer.SetOnTimer(nullptr);
    EXPECT_EQ(timer.TimerID(), 0u);
    EXPECT_FALSE(timer.ThreadRunning());
    EXPECT_EQ(TimerResolutionRequests(), held);
}

TEST_F(HiTimer, EveryRelevantSetterRebuilds)
{
    TMMHiTimer timer(nullptr);
    timer.SetInterval(25);
    CountTicks(timer);
    const std::uint32_t first = timer.TimerID();

    timer.SetInterval(25);
    EXPECT_EQ(timer.TimerID(), first) << "same value: nothing happens";
    timer.SetSynchronize(false);
    timer.SetWaitForTerminate(true);
    EXPECT_EQ(timer.TimerID(), first) << "stored only";

    CountTicks(timer);
    const std::uint32_t second = timer.TimerID();
    EXPECT_NE(second, first) << "assigning OnTimer always rebuilds";

    timer.SetInterval(50);
    const std::uint32_t third = timer.TimerID();
    EXPECT_NE(third, second);
    AdvanceTimerService(49);
    ProcessMessages();
    EXPECT_EQ(ticks_, 0);
    AdvanceTimerService(1);
    ProcessMessages();
    EXPECT_EQ(ticks_, 1) << "the new timer ticks at the new interval";

    timer.SetCallBackMode(cmThread);
    EXPECT_NE(timer.TimerID(), third);
    EXPECT_TRUE(timer.ThreadRunning());
}

TEST_F(HiTimer, WindowModeQueuesAtMostTenTicks)
{
    TMMHiTimer timer(nullptr);
    timer.SetInterval(25);
    std::vector<bool> inMainThread;
    timer.SetOnTimer([&](TMMHiTimer*) { inMainThread.push_back(IsMainThread()); });

    // The main thread is busy for a second: 40 ticks come, 10 wait.
    AdvanceTimerService(1000);
    EXPECT_EQ(timer.PendingTicks(), MaxPendingTicks);
    EXPECT_EQ(TimerTickCount(timer.TimerID()), 40u);
    ProcessMessages();
    EXPECT_EQ(inMainThread, std::vector<bool>(10, true));
    EXPECT_EQ(timer.PendingTicks(), 0);

    AdvanceTimerService(25);
    ProcessMessages();
    EXPECT_EQ(inMainThread.size(), 11u);
}

TEST_F(HiTimer, RebuildInsideAWindowTickDropsTheOldTicks)
{
    TMMHiTimer timer(nullptr);
    timer.SetInterval(25);
    timer.SetOnTimer(
        [&](TMMHiTimer* sender)
        {
            ++ticks_;
            sender->SetInterval(sender->Interval() == 25 ? 30 : 25);
        });
    AdvanceTimerService(100);
    ProcessMessages();
    EXPECT_EQ(ticks_, 1) << "the three other ticks belonged to the old timer";
    EXPECT_EQ(timer.PendingTicks(), 0);
    AdvanceTimerService(30);
    EXPECT_EQ(timer.PendingTicks(), 1);
    ProcessMessages();
    EXPECT_EQ(ticks_, 2);
    EXPECT_EQ(timer.PendingTicks(), 0);
}

TEST_F(HiTimer, DestroyingARunningTimerFiresNoMoreTicks)
{
    {
        TMMHiTimer timer(nullptr);
        timer.SetInterval(25);
        CountTicks(timer);
        AdvanceTimerService(100);
        EXPECT_EQ(timer.PendingTicks(), 4);
    }
    ProcessMessages();
    AdvanceTimerService(100);
    ProcessMessages();
    EXPECT_EQ(ticks_, 0);
}

TEST_F(HiTimer, ReportsRefusalsAndErrors)
{
    std::vector<std::string> shown;
    auto previous = SetErrorBoxHandler([&](const std::string& text) { shown.push_back(text); });

    std::vector<std::string> boxes;
    auto previousBox = SetMessageBoxHook([&](const std::string& text, const std::string& caption)
                                         { boxes.push_back(caption + ": " + text); });
    TMMHiTimer timer(nullptr);
    timer.SetCallBackMode(cmThread);
    timer.SetCallBackMode(cmCallback);
    EXPECT_EQ(timer.CallBackMode(), cmThread);
    EXPECT_EQ(boxes, std::vector<std::string>{"TMMHiTimer: \"CallBacks\" are called at interrupt "
                                              "time !\n\rThis is currently only supported under "
                                              "Windows 95"});
    SetMessageBoxHook(previousBox);

    const int held = TimerResolutionRequests();
    CountTicks(timer);
    try
    {
        timer.SetInterval(-25);
        ADD_FAILURE() << "a refused timer must raise";
    }
    catch (const EOutOfResources& error)
    {
        EXPECT_STREQ(error.what(), "Not enough timers available");
    }
    EXPECT_EQ(timer.TimerID(), 0u);
    EXPECT_TRUE(timer.ThreadRunning()) << "what was set up stays until the next rebuild";
    EXPECT_EQ(TimerResolutionRequests(), held + 1);
    timer.SetInterval(0);
    EXPECT_FALSE(timer.ThreadRunning());
    EXPECT_EQ(TimerResolutionRequests(), held);

    // An exception of OnTimer goes to the error box of the thread that ran it.
    timer.SetCallBackMode(cmWindow);
    timer.SetInterval(25);
    timer.SetOnTimer([](TMMHiTimer*) { throw std::runtime_error("tick failed"); });
    AdvanceTimerService(50);
    ProcessMessages();
    EXPECT_EQ(shown, std::vector<std::string>(2, "tick failed"));
    EXPECT_EQ(timer.PendingTicks(), 0) << "the count goes down after a failing tick too";

    SetErrorBoxHandler(previous);
}

} // namespace
} // namespace keb
