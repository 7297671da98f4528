#include "platform/core/Thread.h"

#include "platform/core/Exceptions.h"
#include "platform/core/MainLoop.h"
#include "platform/core/Wait.h"
#include "tests/platform/core/Watchdog.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace keb
{
namespace
{
using namespace std::chrono_literals;

constexpr std::uint32_t DataMessage = 960;

// A worker shaped like the device workers: it announces its start, then takes
// messages from its queue and waits for a message or the close event.
class TQueueWorker : public TThread
{
  public:
    TEvent StartEvent{false, false};
    TEvent CloseEvent{false, false};
    std::vector<TMessage> Handled;

    ~TQueueWorker() override { TerminateAndWait(); }

  protected:
    void Execute() override
    {
        StartEvent.SetEvent();
        while (!Terminated())
        {
            TMessage message;
            if (MessageQueue().Take(message))
            {
                Handled.push_back(message);
                continue;
            }
            if (WaitForAny({&CloseEvent}, &MessageQueue(), Infinite) == 0)
                break;
        }
    }
};

// Runs a function as its body.
class TLambdaThread : public TThread
{
  public:
    explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : body_(std::move(body)) {}
    ~TLambdaThread() override { TerminateAndWait(); }

    using TThread::SetReturnValue;

  protected:
    void Execute() override { body_(*this); }

  private:
    std::function<void(TLambdaThread&)> body_;
};
} // namespace

TEST(WorkerThread, WorkerQueueReceivesPostsFromSeveralThreadsUntilClosed)
{
    test::TWatchdog watchdog(30s, "worker queue");
    TQueueWorker worker;
    EXPECT_TRUE(worker.Suspended());
    worker.Resume();
    ASSERT_EQ(worker.StartEvent.WaitFor(5000), TWaitResult::wrSignaled);

    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
    {
        posters.emplace_back(
            [&worker, t]
            {
                for (int i = 0; i < 500; ++i)
                    worker.PostMessage(DataMessage, t, i);
            });
    }
    for (auto& poster : posters)
        poster.join();
    worker.PostMessage(DataMessage + 1);
    // The last message comes after all data messages of every poster.
    while (worker.MessageQueue().Count() > 0)
        std::this_thread::yield();
    worker.CloseEvent.SetEvent();
    worker.WaitFor();

    ASSERT_EQ(worker.Handled.size(), 1501u);
    EXPECT_EQ(worker.Handled.back().Msg, DataMessage + 1);
    std::vector<std::intptr_t> next(3, 0);
    for (std::size_t i = 0; i + 1 < worker.Handled.size(); ++i)
        EXPECT_EQ(worker.Handled[i].LParam, next[worker.Handled[i].WParam]++);
}

TEST(WorkerThread, QueueRemovalDropsOnlyThreadMessagesOfTheRange)
{
    TQueueWorker worker;
    worker.PostMessage(DataMessage, 1);
    worker.PostMessage(DataMessage + 1, 2);
    worker.PostMessage(DataMessage, 3);
    EXPECT_EQ(worker.MessageQueue().Remove(0, DataMessage, DataMessage), 2u);
    TMessage left;
    ASSERT_TRUE(worker.MessageQueue().Take(left));
    EXPECT_EQ(left.Msg, DataMessage + 1);
    EXPECT_FALSE(worker.MessageQueue().Take(left));
}

TEST(WorkerThread, SynchronizeRunsOnTheMainThreadWhileTheWorkerWaits)
{
    test::TWatchdog watchdog(30s, "synchronize");
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> workerSawItDone{false};
    TLambdaThread worker(
        [&](TLambdaThread& self)
        {
            bool done = false;
            self.Synchronize(
                [&]
                {
                    ranOnMain = IsMainThread();
                    done = true;
                });
            workerSawItDone = done;
        });
    worker.Resume();
    while (!worker.Finished())
        WaitAndProcessMessages(100);
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(workerSawItDone);
}

TEST(WorkerThread, WaitForOnTheMainThreadServesAWorkerBlockedInSynchronize)
{
    test::TWatchdog watchdog(30s, "WaitFor while the worker synchronises");
    int calls = 0;
    TLambdaThread worker(
        [&](TLambdaThread& self)
        {
            for (int i = 0; i < 3; ++i)
                self.Synchronize([&] { ++calls; });
            self.SetReturnValue(7);
        });
    worker.Resume();
    EXPECT_EQ(worker.WaitFor(), 7);
    EXPECT_EQ(calls, 3);
}

TEST(WorkerThread, DestroyingARunningWorkerTerminatesItEvenWhenItSynchronises)
{
    test::TWatchdog watchdog(30s, "destroying a synchronising worker");
    int rounds = 0;
    auto* worker = new TLambdaThread(
        [&](TLambdaThread& self)
        {
            while (!self.Terminated())
                self.Synchronize([&] { ++rounds; });
        });
    worker->Resume();
    while (rounds == 0)
        WaitAndProcessMessages(100);
    delete worker;
    const int afterDelete = rounds;
    ProcessMessages();
    EXPECT_EQ(rounds, afterDelete);
}

TEST(WorkerThread, AnExceptionInASynchronisedMethodIsRaisedInTheWorker)
{
    test::TWatchdog watchdog(30s, "synchronised exception");
    std::string caught;
    TLambdaThread worker(
        [&](TLambdaThread& self)
        {
            try
            {
                self.Synchronize([] { throw EListError("main thread failed"); });
            }
            catch (const EListError& error)
            {
                caught = error.what();
            }
        });
    worker.Resume();
    worker.WaitFor();
    EXPECT_EQ(caught, "main thread failed");
}

TEST(WorkerThread, FreeOnTerminateDeletesTheObjectAfterExecute)
{
    test::TWatchdog watchdog(30s, "free on terminate");
    struct TSelfFreeing : TThread
    {
        TEvent* Gone = nullptr;
        ~TSelfFreeing() override { Gone->SetEvent(); }
        void Execute() override {}
    };
    TEvent gone(true, false);
    auto* worker = new TSelfFreeing;
    worker->Gone = &gone;
    worker->SetFreeOnTerminate(true);
    worker->Resume();
    EXPECT_EQ(gone.WaitFor(10000), TWaitResult::wrSignaled);
}

TEST(WorkerThread, MisuseOfWaitForAndFailingBodiesAreReported)
{
    TLambdaThread never([](TLambdaThread&) {});
    EXPECT_THROW(never.WaitFor(), EThreadError);

    std::atomic<bool> refused{false};
    TLambdaThread selfWaiter(
        [&](TLambdaThread& self)
        {
            try
            {
                self.WaitFor();
            }
            catch (const EThreadError&)
            {
                refused = true;
            }
            throw EReadError("body failed");
        });
    selfWaiter.Resume();
    selfWaiter.WaitFor();
    EXPECT_TRUE(refused);
    ASSERT_TRUE(selfWaiter.FatalException());
    EXPECT_THROW(std::rethrow_exception(selfWaiter.FatalException()), EReadError);
}

#ifdef __linux__
TEST(WorkerThread, PriorityChangesApplyToTheRunningThread)
{
    test::TWatchdog watchdog(30s, "priority");
    TEvent changed(false, false);
    std::atomic<int> niceSeen{-100};
    TLambdaThread worker(
        [&](TLambdaThread&)
        {
            changed.WaitFor(Infinite);
            niceSeen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        });
    worker.Resume();
    worker.SetPriority(TThreadPriority::tpLowest);
    changed.SetEvent();
    worker.WaitFor();
    EXPECT_EQ(niceSeen.load(), 10);
}
#endif

} // namespace keb
