#include "platform/core/MainLoop.h"
#include "stream/MMDSPObj.h"
#include "tests/platform/core/Watchdog.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace keb
{
namespace
{
using namespace std::chrono_literals;

// Where SyncToMainThread ran the call and whether the caller was still inside
// it meanwhile.
struct TSyncProbe
{
    std::atomic<bool> RanOnMain{false};
    std::atomic<bool> CallerWaited{false};
    std::atomic<bool> CallerInside{false};

    void CallFromHere()
    {
        CallerInside = true;
        SyncToMainThread(
            [this]
            {
                RanOnMain = IsMainThread();
                CallerWaited = CallerInside.load();
            });
        CallerInside = false;
    }
};

class TProbeThread : public TMMDSPThread
{
  public:
    TProbeThread(TMMDSPComponent* owner, TSyncProbe& probe) : TMMDSPThread(owner), probe_(probe) {}
    ~TProbeThread() override { TerminateAndWait(); }

  protected:
    void Execute() override { probe_.CallFromHere(); }

  private:
    TSyncProbe& probe_;
};

class TPlainThread : public TThread
{
  public:
    explicit TPlainThread(TSyncProbe& probe) : probe_(probe) {}
    ~TPlainThread() override { TerminateAndWait(); }

  protected:
    void Execute() override { probe_.CallFromHere(); }

  private:
    TSyncProbe& probe_;
};
} // namespace

TEST(DSPThread, SyncFromARegisteredWorkerRunsOnTheMainThreadWhileTheWorkerWaits)
{
    test::TWatchdog watchdog(30s, "SyncToMainThread");
    TMMDSPComponent owner(nullptr);
    TSyncProbe probe;
    TProbeThread worker(&owner, probe);
    EXPECT_EQ(worker.Owner(), &owner);
    EXPECT_TRUE(worker.Suspended());
    worker.Resume();
    while (!worker.Finished())
        WaitAndProcessMessages(100);
    EXPECT_TRUE(probe.RanOnMain);
    EXPECT_TRUE(probe.CallerWaited);
}

TEST(DSPThread, SyncFromTheMainThreadOrAnUnregisteredThreadRunsDirectly)
{
    test::TWatchdog watchdog(30s, "direct SyncToMainThread");
    TSyncProbe onMain;
    onMain.CallFromHere();
    EXPECT_TRUE(onMain.RanOnMain);

    // Nobody drains the loop here: a call handed to the main thread would hang.
    TSyncProbe elsewhere;
    TPlainThread worker(elsewhere);
    worker.Resume();
    worker.WaitFor();
    EXPECT_FALSE(elsewhere.RanOnMain);
    EXPECT_TRUE(elsewhere.CallerWaited);
}

TEST(DSPThread, WaitingForARegisteredWorkerServesItsSyncRequests)
{
    test::TWatchdog watchdog(30s, "WaitFor with SyncToMainThread");
    TMMDSPComponent owner(nullptr);
    TSyncProbe probe;
    TProbeThread worker(&owner, probe);
    worker.Resume();
    worker.WaitFor();
    EXPECT_TRUE(probe.RanOnMain);
}

} // namespace keb
