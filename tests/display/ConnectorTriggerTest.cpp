#include "ConnectorTestSupport.h"
#include "platform/core/MessageWindow.h"
#include "tests/platform/core/Watchdog.h"

#include <thread>

namespace keb
{
namespace
{
using namespace std::chrono_literals;
using test::TestBuffer;

class ConnectorTrigger : public test::ConnectorChain
{
  protected:
    ConnectorTrigger()
    {
        connector.SetSynchronize(false);
        connector.SetSpectrogram(0, &waterfall);
        connector.OnTrigger = [this](TMMConnector*) { ++passes; };
    }

    int passes = 0;
    TestBuffer buffer;
};

// The connector is armed through its window once the main loop runs; until
// then a real-time connector ignores Trigger.
TEST_F(ConnectorTrigger, ArmingWaitsForTheMainLoop)
{
    connector.ChainOpened();
    connector.ChainStarted();
    EXPECT_TRUE(connector.IsConnectorStarted());
    EXPECT_FALSE(connector.Armed());
    connector.BufferReady(buffer.Wave());
    connector.Trigger();
    EXPECT_EQ(passes, 0);

    ProcessMessages();
    EXPECT_TRUE(connector.Armed());
    connector.Trigger();
    EXPECT_EQ(passes, 1) << "in the main thread Trigger runs the pass at once";
}

TEST_F(ConnectorTrigger, RequestsFromAnotherThreadCollapseIntoOnePass)
{
    test::TWatchdog watchdog(20s, "RequestsFromAnotherThreadCollapseIntoOnePass");
    Start();
    connector.BufferReady(buffer.Wave());
    std::thread worker(
        [&]
        {
            connector.Trigger();
            connector.Trigger();
        });
    worker.join();
    EXPECT_EQ(passes, 0);
    EXPECT_EQ(connector.PendingTriggers(), 1);
    ProcessMessages();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(connector.PendingTriggers(), 0);

    std::thread again([&] { connector.Trigger(); });
    again.join();
    ProcessMessages();
    EXPECT_EQ(passes, 2) << "the next request is served again";
}

// A request that comes while the connector is disabled is dropped and its
// count is cleared at the next arming.
TEST_F(ConnectorTrigger, DroppedRequestsAreClearedByArming)
{
    Start();
    std::thread worker([&] { connector.Trigger(); });
    worker.join();
    connector.SetEnabled(false);
    ProcessMessages();
    EXPECT_EQ(connector.PendingTriggers(), 1);
    connector.SetEnabled(true);
    ProcessMessages();
    EXPECT_TRUE(connector.Armed());
    EXPECT_EQ(connector.PendingTriggers(), 0);
}

TEST_F(ConnectorTrigger, TriggerIsIgnoredWhenItHasNoPlace)
{
    Start();
    connector.BufferReady(buffer.Wave());
    connector.SetAutoTrigger(true);
    connector.Trigger();
    EXPECT_EQ(passes, 0) << "auto-trigger connectors are driven by the pump";
    connector.SetAutoTrigger(false);
    EXPECT_FALSE(connector.Armed()) << "switching AutoTrigger off disarms";
    connector.Trigger();
    EXPECT_EQ(passes, 0);

    connector.SetEnabled(false);
    EXPECT_EQ(waterfall.Resets, 1) << "disabling resets the displays";
    connector.SetEnabled(true);
    ProcessMessages();
    connector.Trigger();
    EXPECT_EQ(passes, 1);
}

// Not in real time: every arriving buffer runs a pass at once, in the thread
// that delivers it.
TEST_F(ConnectorTrigger, OutsideRealTimeArrivalsDeliverInTheirOwnThread)
{
    test::TWatchdog watchdog(20s, "OutsideRealTimeArrivalsDeliverInTheirOwnThread");
    connector.SetRealTime(false);
    connector.SetAutoTrigger(true);
    Start();
    EXPECT_FALSE(connector.Armed());
    std::thread audio(
        [&]
        {
            for (int i = 0; i < 3; ++i)
                connector.BufferReady(buffer.Wave());
        });
    audio.join();
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(Offsets("waterfall"), (std::vector<std::int32_t>{0, 0, 0}));

    connector.SetAutoTrigger(false);
    connector.Trigger();
    EXPECT_EQ(passes, 4) << "started and not real time: Trigger runs without arming";
    EXPECT_EQ(Offsets("waterfall").back(), 512);
}

// The idle pump of auto-trigger connectors lets the main loop run
// 5001 - Speed times per round and then gives each armed connector a pass.
TEST_F(ConnectorTrigger, ThePumpServesAutoTriggerConnectorsAtTheirSpeed)
{
    connector.SetAutoTrigger(true);
    connector.SetSpeed(4990);
    Start();
    connector.BufferReady(buffer.Wave());

    int loopRuns = 0;
    TWindowHandle counterHandle = 0;
    TMessageWindow counter(
        [&](const TMessage&)
        {
            ++loopRuns;
            PostMessage(counterHandle, 1);
        });
    counterHandle = counter.Handle();
    counter.Post(1);
    ProcessMessages();
    EXPECT_EQ(loopRuns, 11 + 1) << "11 runs inside the pump, one after it";
    EXPECT_EQ(passes, 1);
    ProcessMessages();
    ProcessMessages();
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(Offsets("waterfall"), (std::vector<std::int32_t>{0, 512, 1024}));

    // EnterIdle lets the main loop run once more after each round.
    TMMConnector::SetEnterIdle(true);
    const int runsBeforeIdle = loopRuns;
    ProcessMessages();
    TMMConnector::SetEnterIdle(false);
    EXPECT_EQ(loopRuns, runsBeforeIdle + 11 + 1 + 1);

    // Armed twice without a disarm in between, the connector still counts
    // once, so the pump stops when it is disabled.
    connector.SetEnabled(false);
    connector.SetEnabled(true);
    connector.SetAutoTrigger(false);
    connector.SetAutoTrigger(true);
    ProcessMessages();
    ProcessMessages();
    EXPECT_TRUE(connector.Armed());
    connector.SetEnabled(false);
    ProcessMessages();
    ProcessMessages();
    const int runsBefore = loopRuns;
    ProcessMessages();
    EXPECT_EQ(loopRuns, runsBefore + 1) << "the pump stops with the last armed connector";
}

class ThrowingDisplay : public test::RecordingDisplay
{
  public:
    using RecordingDisplay::RecordingDisplay;
    void ProcessBlock(const std::uint8_t*) override { throw std::runtime_error("display failed"); }
};

// A request whose pass fails still counts as served: the error goes to the
// error box and later requests from other threads are not dropped for ever.
TEST_F(ConnectorTrigger, AFailingDisplayDoesNotBlockLaterRequests)
{
    test::TWatchdog watchdog(20s, "AFailingDisplayDoesNotBlockLaterRequests");
    std::vector<std::string> shown;
    auto previous = SetErrorBoxHandler([&](const std::string& text) { shown.push_back(text); });
    ThrowingDisplay failing("failing", log);
    connector.SetSpectrogram(1, &failing);
    Start();
    for (int request = 1; request <= 2; ++request)
    {
        connector.BufferReady(buffer.Wave());
        std::thread worker([&] { connector.Trigger(); });
        worker.join();
        ProcessMessages();
        EXPECT_EQ(passes, request);
        EXPECT_EQ(connector.PendingTriggers(), 0);
    }
    EXPECT_EQ(shown, std::vector<std::string>(2, "display failed"));
    SetErrorBoxHandler(previous);
    connector.SetSpectrogram(1, nullptr);
}

TEST(ConnectorSettings, SpeedIsClampedAndEnterIdleIsShared)
{
    TMMConnector first(nullptr), second(nullptr);
    EXPECT_EQ(first.Speed(), 5000);
    first.SetSpeed(0);
    EXPECT_EQ(first.Speed(), 1);
    first.SetSpeed(10000);
    EXPECT_EQ(first.Speed(), 5000);
    first.SetSpeed(-7);
    EXPECT_EQ(first.Speed(), 1);

    EXPECT_FALSE(TMMConnector::EnterIdle());
    first.SetEnterIdle(true);
    EXPECT_TRUE(second.EnterIdle());
    second.SetEnterIdle(false);
    EXPECT_FALSE(first.EnterIdle());

    EXPECT_TRUE(first.Enabled());
    EXPECT_TRUE(first.AutoConvert());
    EXPECT_TRUE(first.AutoTrigger());
    EXPECT_TRUE(first.Synchronize());
    EXPECT_TRUE(first.RefreshOnStop());
    EXPECT_TRUE(first.RealTime());
    EXPECT_EQ(first.TriggerMode(), tmNone);
}

// Messages left for a connector that is gone reach nobody, and the other
// connectors' requests stay.
TEST(ConnectorWindow, MessagesOfADestroyedConnectorAreDropped)
{
    test::TestSource source;
    const TWaveFormatEx format = test::ProgramFormat();
    source.SetWaveFormat(&format);
    auto doomed = std::make_unique<TMMConnector>(nullptr);
    TMMConnector survivor(nullptr);
    for (TMMConnector* connector : {doomed.get(), &survivor})
    {
        connector->SetInput(&source);
        connector->SetAutoTrigger(false);
        connector->ChainOpened();
        connector->ChainStarted();
    }
    doomed.reset();
    ProcessMessages();
    EXPECT_TRUE(survivor.Armed());
    survivor.ChainStopped();
    survivor.SetInput(nullptr);
}

} // namespace
} // namespace keb
