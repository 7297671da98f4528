// The capture device at work on the stepped virtual card: delivery into the
// chain in both callback modes, the record limit, pause before start, and
// stops and closes that arrive while a buffer handler runs.
#include "WaveDeviceFixture.h"
#include "devices/MMWavIn.h"
#include "platform/core/MainLoop.h"

#include <atomic>

namespace keb::test
{
namespace
{
constexpr std::int32_t BufferBytes = 2000;
constexpr std::uint64_t BufferFrames = BufferBytes / 2;

// 8000 Hz, 16 bit, mono with four buffers of 2000 bytes, logging its events.
void Configure(TMMWaveIn& waveIn, TMMCBMode mode, TEventLog& log, TCollector& collector)
{
    waveIn.SetSampleRate(8000);
    waveIn.SetBitLength(b16Bit);
    waveIn.SetBufferSize(BufferBytes);
    waveIn.SetNumBuffers(4);
    waveIn.SetCallBackMode(mode);
    waveIn.SetOutput(&collector);
    waveIn.OnOpen = [&](TComponent*) { log.Add("Open"); };
    waveIn.OnStart = [&](TComponent*) { log.Add("Start"); };
    waveIn.OnPause = [&](TComponent*) { log.Add("Pause"); };
    waveIn.OnRestart = [&](TComponent*) { log.Add("Restart"); };
    waveIn.OnStop = [&](TComponent*) { log.Add("Stop"); };
    waveIn.OnClose = [&](TComponent*) { log.Add("Close"); };
    waveIn.OnError = [&](TComponent*) { log.Add("Error"); };
    waveIn.OnBufferReady = [&](TMMDSPComponent*, PWaveHdr) { log.Add("BufferReady"); };
}
} // namespace

class WaveInCaptureTest : public WaveDeviceTest, public ::testing::WithParamInterface<TMMCBMode>
{
};

TEST_P(WaveInCaptureTest, EveryBufferReachesTheOutputInOrderAndComplete)
{
    TEventLog log;
    TCollector collector(nullptr);
    TMMWaveIn waveIn(nullptr);
    Configure(waveIn, GetParam(), log, collector);

    waveIn.Start();
    EXPECT_EQ(waveIn.State(), wsOpened | wsStarted);
    constexpr std::size_t Buffers = 12;
    for (std::size_t i = 1; i <= Buffers; ++i)
        ASSERT_TRUE(StepTo(BufferFrames, collector, i)) << "buffer " << i;
    waveIn.Close();

    EXPECT_EQ(collector.Bytes(), Counter(0, Buffers * BufferBytes));
    EXPECT_EQ(collector.Sizes(), std::vector<std::uint32_t>(Buffers, BufferBytes));
    if (GetParam() == cmThread)
        EXPECT_TRUE(collector.NoneInMainThread());
    else
        EXPECT_TRUE(collector.AllInMainThread());
    EXPECT_EQ(log.Count("BufferReady"), Buffers);
    const auto names = log.Names();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "Open");
    EXPECT_EQ(names[1], "Start");
    EXPECT_EQ(log.Last(2), (std::vector<std::string>{"Stop", "Close"}));
    EXPECT_EQ(waveIn.State(), wsClosed);
    EXPECT_FALSE(waveIn.Opened());
}

TEST_P(WaveInCaptureTest, RecordLimitDeliversExactlyTheLimitAndStopsItself)
{
    TEventLog log;
    TCollector collector(nullptr);
    TMMWaveIn waveIn(nullptr);
    Configure(waveIn, GetParam(), log, collector);
    waveIn.SetBufferSize(2048);
    waveIn.SetTimeFormat(tfMillisecond);
    waveIn.SetMaxRecordTime(1000);

    waveIn.Start();
    for (std::size_t i = 1; i <= 8; ++i)
        ASSERT_TRUE(StepTo(1024, collector, i)) << "buffer " << i;
    ASSERT_TRUE(PumpUntil([&] { return log.Count("Stop") == 1; }));

    EXPECT_EQ(collector.Bytes(), Counter(0, 16000));
    std::vector<std::uint32_t> sizes(7, 2048);
    sizes.push_back(16000 - 7 * 2048);
    EXPECT_EQ(collector.Sizes(), sizes);
    EXPECT_EQ(waveIn.State(), wsOpened);
    EXPECT_TRUE(log.AllInMainThread("Stop"));
    // Nothing more arrives once stopped.
    card_->AdvanceFrames(4096);
    ProcessMessages();
    EXPECT_EQ(collector.BufferCount(), 8u);
    waveIn.Close();
    EXPECT_EQ(log.Count("Error"), 0u);
}

TEST_P(WaveInCaptureTest, CloseFromInsideABufferHandlerCompletesStopAndCloseInTheMainThread)
{
    TEventLog log;
    TCollector collector(nullptr);
    TMMWaveIn waveIn(nullptr);
    Configure(waveIn, GetParam(), log, collector);
    collector.BeforeCollect = [&](PWaveHdr)
    {
        if (collector.BufferCount() == 2)
        {
            waveIn.Close();
            log.Add("Close called");
        }
    };

    waveIn.Start();
    for (std::size_t i = 1; i <= 3; ++i)
        ASSERT_TRUE(StepTo(BufferFrames, collector, i));
    ASSERT_TRUE(PumpUntil([&] { return waveIn.State() == wsClosed; }));

    EXPECT_EQ(log.Last(3), (std::vector<std::string>{"Close called", "Stop", "Close"}));
    EXPECT_TRUE(log.AllInMainThread("Stop"));
    EXPECT_TRUE(log.AllInMainThread("Close"));
    EXPECT_EQ(collector.Bytes(), Counter(0, 3 * BufferBytes));
    // The device is free for the next open.
    waveIn.Start();
    EXPECT_TRUE(waveIn.HasState(wsStarted));
    waveIn.Close();
}

TEST_P(WaveInCaptureTest, PauseBeforeStartQueuesTheBuffersButRecordsOnlyAfterRestart)
{
    TEventLog log;
    TCollector collector(nullptr);
    TMMWaveIn waveIn(nullptr);
    Configure(waveIn, GetParam(), log, collector);

    waveIn.Pause();
    EXPECT_EQ(waveIn.State(), wsOpened | wsPaused);
    waveIn.Start();
    EXPECT_EQ(waveIn.State(), wsOpened | wsStarted | wsPaused);
    card_->AdvanceFrames(4 * BufferFrames);
    PumpUntil([] { return false; }, 50ms);
    EXPECT_EQ(collector.BufferCount(), 0u);

    waveIn.Restart();
    EXPECT_EQ(waveIn.State(), wsOpened | wsStarted);
    ASSERT_TRUE(StepTo(BufferFrames, collector, 1));
    EXPECT_EQ(collector.Bytes(), Counter(0, BufferBytes));
    waveIn.Close();
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Open", "Pause", "Start", "Restart",
                                                     "BufferReady", "Stop", "Close"}));
}

TEST_P(WaveInCaptureTest, DestroyingAnOpenDeviceClosesItWithoutCloseEvents)
{
    TEventLog log;
    TCollector collector(nullptr);
    {
        TMMWaveIn waveIn(nullptr);
        Configure(waveIn, GetParam(), log, collector);
        waveIn.Start();
        ASSERT_TRUE(StepTo(BufferFrames, collector, 1));
    }
    EXPECT_EQ(log.Count("Stop"), 0u);
    EXPECT_EQ(log.Count("Close"), 0u);
    TMMWaveIn next(nullptr);
    EXPECT_NO_THROW(next.Open());
    next.Close();
}

// Relinking a running device stops it through the chain; the driver is halted
// and every buffer taken back, so the device closes cleanly afterwards.
TEST_P(WaveInCaptureTest, RelinkingARunningDeviceStopsItAndItClosesCleanly)
{
    TEventLog log;
    TCollector collector(nullptr);
    TCollector other(nullptr);
    TMMWaveIn waveIn(nullptr);
    Configure(waveIn, GetParam(), log, collector);
    waveIn.Start();
    ASSERT_TRUE(StepTo(BufferFrames, collector, 1));

    // The worker may still be queueing the buffer it pushed: the stop then
    // waits for that handler and completes from the main loop.
    waveIn.SetOutput(&other);
    EXPECT_TRUE(PumpUntil([&] { return waveIn.State() == wsOpened; }));
    card_->AdvanceFrames(2 * BufferFrames);
    PumpUntil([] { return false; }, 30ms);
    EXPECT_EQ(other.BufferCount(), 0u);
    waveIn.Close();
    EXPECT_EQ(waveIn.State(), wsClosed);
    EXPECT_EQ(log.Count("Error"), 0u);
    EXPECT_EQ(log.Last(2), (std::vector<std::string>{"Stop", "Close"}));
}

INSTANTIATE_TEST_SUITE_P(Modes, WaveInCaptureTest, ::testing::Values(cmWindow, cmThread),
                         [](const auto& Info)
                         { return Info.param == cmThread ? "Thread" : "Window"; });

using WaveInDeferredCloseTest = WaveDeviceTest;

// The worker is held inside the handler of the buffer that crosses the
// limit while the main thread asks for a close: both the stop and the close
// wait for the handler and complete in the main thread, stop first.
TEST_F(WaveInDeferredCloseTest, CloseWhileTheLimitBufferIsHandledStopsThenCloses)
{
    TEventLog log;
    TCollector collector(nullptr);
    TMMWaveIn waveIn(nullptr);
    Configure(waveIn, cmThread, log, collector);
    waveIn.SetTimeFormat(tfMillisecond);
    waveIn.SetMaxRecordTime(500); // 8000 bytes: the fourth buffer crosses it
    std::atomic<bool> inHandler{false};
    std::atomic<bool> release{false};
    collector.BeforeCollect = [&](PWaveHdr)
    {
        if (collector.BufferCount() != 3)
            return;
        inHandler = true;
        while (!release)
            std::this_thread::yield();
    };

    waveIn.Start();
    for (std::size_t i = 1; i <= 3; ++i)
        ASSERT_TRUE(StepTo(BufferFrames, collector, i));
    card_->AdvanceFrames(BufferFrames);
    ASSERT_TRUE(PumpUntil([&] { return inHandler.load(); }));
    waveIn.Close();
    log.Add("Close returned");
    EXPECT_TRUE(waveIn.HasState(wsOpened));
    release = true;
    ASSERT_TRUE(PumpUntil([&] { return waveIn.State() == wsClosed; }));

    EXPECT_EQ(log.Last(3), (std::vector<std::string>{"Close returned", "Stop", "Close"}));
    EXPECT_TRUE(log.AllInMainThread("Stop"));
    EXPECT_EQ(collector.Bytes(), Counter(0, 8000));
    EXPECT_EQ(log.Count("Error"), 0u);
}

} // namespace keb::test
