#include "platform/core/MainLoop.h"

#include "platform/core/Exceptions.h"
#include "platform/core/MessageWindow.h"
#include "tests/platform/core/Watchdog.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace keb
{
namespace
{
using namespace std::chrono_literals;

struct TReceived
{
    std::vector<TMessage> Messages;
    bool AllOnMainThread = true;
};

TMessageWindow::TWindowProc Recorder(TReceived& received)
{
    return [&received](const TMessage& message)
    {
        received.Messages.push_back(message);
        received.AllOnMainThread = received.AllOnMainThread && IsMainThread();
    };
}

std::vector<std::uint32_t> Numbers(const TReceived& received)
{
    std::vector<std::uint32_t> numbers;
    for (const TMessage& message : received.Messages)
        numbers.push_back(message.Msg);
    return numbers;
}
} // namespace

TEST(MainLoop, PostsFromSeveralThreadsArriveInOrderOnTheMainThread)
{
    test::TWatchdog watchdog(30s, "posting from several threads");
    constexpr int Threads = 4;
    constexpr int PerThread = 2000;
    TReceived received;
    TMessageWindow window(Recorder(received));
    std::atomic<int> wakeUps{0};
    auto previousHook = SetMainLoopWakeHook([&] { ++wakeUps; });

    std::vector<std::thread> posters;
    for (int t = 0; t < Threads; ++t)
    {
        posters.emplace_back(
            [&, t]
            {
                for (int i = 0; i < PerThread; ++i)
                    EXPECT_TRUE(PostMessage(window.Handle(), 0x400, t, i));
            });
    }
    while (received.Messages.size() < Threads * PerThread)
        WaitAndProcessMessages(1000);
    for (auto& poster : posters)
        poster.join();
    SetMainLoopWakeHook(previousHook);

    EXPECT_TRUE(received.AllOnMainThread);
    EXPECT_EQ(wakeUps.load(), Threads * PerThread);
    std::vector<std::intptr_t> next(Threads, 0);
    for (const TMessage& message : received.Messages)
    {
        ASSERT_EQ(message.Window, window.Handle());
        EXPECT_EQ(message.LParam, next[message.WParam]++);
    }
    for (std::intptr_t count : next)
        EXPECT_EQ(count, PerThread);
}

TEST(MainLoop, RemovingByRangeTouchesOnlyThatWindowAndRange)
{
    TReceived a;
    TReceived b;
    TMessageWindow windowA(Recorder(a));
    TMessageWindow windowB(Recorder(b));
    for (std::uint32_t msg = 1; msg <= 10; ++msg)
        windowA.Post(msg);
    windowB.Post(5);
    EXPECT_EQ(windowA.RemoveMessages(3, 6), 4u);
    ProcessMessages();
    EXPECT_EQ(Numbers(a), (std::vector<std::uint32_t>{1, 2, 7, 8, 9, 10}));
    EXPECT_EQ(Numbers(b), (std::vector<std::uint32_t>{5}));
}

TEST(MainLoop, ADestroyedWindowGetsNothingAndRefusesPosts)
{
    TReceived received;
    auto* window = new TMessageWindow(Recorder(received));
    const TWindowHandle handle = window->Handle();
    EXPECT_TRUE(window->Post(1));
    delete window;
    EXPECT_FALSE(PostMessage(handle, 2));
    ProcessMessages();
    EXPECT_TRUE(received.Messages.empty());
}

TEST(MainLoop, AFailingHandlerReachesTheErrorBoxAndTheLoopGoesOn)
{
    std::vector<std::string> shown;
    auto previous = SetErrorBoxHandler([&](const std::string& text) { shown.push_back(text); });
    TReceived received;
    TMessageWindow failing([](const TMessage&) { throw EListError("broken handler"); });
    TMessageWindow healthy(Recorder(received));
    failing.Post(1);
    healthy.Post(2);
    ProcessMessages();
    SetErrorBoxHandler(previous);
    EXPECT_EQ(shown, (std::vector<std::string>{"broken handler"}));
    EXPECT_EQ(Numbers(received), (std::vector<std::uint32_t>{2}));
}

TEST(MainLoop, AHandlerThatRepostsItselfRunsOncePerDrain)
{
    int runs = 0;
    TMessageWindow* self = nullptr;
    TMessageWindow pump(
        [&](const TMessage&)
        {
            ++runs;
            self->Post(1);
        });
    self = &pump;
    pump.Post(1);
    ProcessMessages();
    EXPECT_EQ(runs, 1);
    ProcessMessages();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(pump.RemoveMessages(1, 1), 1u);
}

TEST(MainLoop, HandleMessageRunsOneMessageAtATime)
{
    TReceived received;
    TMessageWindow window(Recorder(received));
    window.Post(1);
    window.Post(2);
    EXPECT_TRUE(HandleMessage());
    EXPECT_EQ(Numbers(received), (std::vector<std::uint32_t>{1}));
    EXPECT_TRUE(HandleMessage());
    EXPECT_FALSE(HandleMessage());
    EXPECT_EQ(Numbers(received), (std::vector<std::uint32_t>{1, 2}));
}

TEST(MainLoop, OnlyTheMainThreadDrainsTheLoop)
{
    TReceived received;
    TMessageWindow window(Recorder(received));
    window.Post(1);
    bool workerIsMain = true;
    std::thread worker(
        [&]
        {
            workerIsMain = IsMainThread();
            ProcessMessages();
        });
    worker.join();
    EXPECT_FALSE(workerIsMain);
    EXPECT_TRUE(received.Messages.empty());
    ProcessMessages();
    EXPECT_EQ(received.Messages.size(), 1u);
}

} // namespace keb
