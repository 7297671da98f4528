// The playback device on the stepped virtual card, fed by a test source:
// what it plays and pushes on, how playback ends, the commands, looping,
// and its properties.
#include "WaveDeviceFixture.h"
#include "devices/MMWavOut.h"
#include "devices/MMWaveDeviceHooks.h"
#include "platform/core/Event.h"
#include "platform/core/MainLoop.h"
#include "tests/stream/ChainStandIns.h"

namespace keb::test
{
namespace
{
constexpr std::int32_t BufferBytes = 2000;
constexpr std::uint64_t BufferFrames = BufferBytes / 2;

template <typename F> std::string WaveOutErrorOf(F action)
{
    try
    {
        action();
    }
    catch (const EMMWaveOutError& error)
    {
        return error.what();
    }
    return "(no error)";
}

// source -> playback (four buffers of 2000 bytes) -> collector, logging.
class WaveOutTest : public WaveDeviceTest, public ::testing::WithParamInterface<TMMCBMode>
{
  protected:
    void Build(std::vector<std::uint8_t> data)
    {
        source_ = std::make_unique<TTestSource>(nullptr, std::move(data));
        waveOut_ = std::make_unique<TMMWaveOut>(nullptr);
        waveOut_->SetBufferSize(BufferBytes);
        waveOut_->SetNumBuffers(4);
        waveOut_->SetCallBackMode(GetParam());
        waveOut_->SetInput(source_.get());
        waveOut_->SetOutput(&collector_);
        waveOut_->OnStart = [this](TComponent*) { log_.Add("Start"); };
        waveOut_->OnStop = [this](TComponent*) { log_.Add("Stop"); };
        waveOut_->OnClose = [this](TComponent*) { log_.Add("Close"); };
        waveOut_->OnError = [this](TComponent*) { log_.Add("Error"); };
        waveOut_->OnLooping = [this](TComponent*) { log_.Add("Looping"); };
        waveOut_->OnBufferReady = [this](TMMDSPComponent*, PWaveHdr) { log_.Add("Ready"); };
        waveOut_->OnBufferLoad = [this](TMMDSPComponent*, PWaveHdr, bool&) { log_.Add("Load"); };
        collector_.BeforeCollect = [this](PWaveHdr header)
        {
            std::lock_guard guard(pushLock_);
            pushed_.emplace_back(header, MMWaveHdr(header)->CompanionHdr);
        };
    }

    void TearDown() override
    {
        waveOut_.reset();
        source_.reset();
        WaveDeviceTest::TearDown();
    }

    // Plays one buffer's time and waits until the played buffer was pushed.
    bool PlayBuffer(std::size_t pushed) { return StepTo(BufferFrames, collector_, pushed); }

    TEventLog log_;
    TCollector collector_{nullptr};
    std::unique_ptr<TTestSource> source_;
    std::unique_ptr<TMMWaveOut> waveOut_;
    std::mutex pushLock_;
    std::vector<std::pair<PWaveHdr, PWaveHdr>> pushed_; // header, companion
};
} // namespace

TEST_P(WaveOutTest, PlaysTheSourceInOrderAndEndsWhenItHasNoMore)
{
    const auto data = Counter(0, 5 * BufferBytes + 500);
    Build(data);
    waveOut_->Start();
    EXPECT_EQ(waveOut_->State(), wsOpened | wsStarted);
    EXPECT_EQ(waveOut_->BufferCount(), 4);
    EXPECT_EQ(source_->Pulls(), 4u);
    for (std::size_t i = 1; i <= 6; ++i)
        ASSERT_TRUE(PlayBuffer(i)) << "buffer " << i;
    ASSERT_TRUE(PumpUntil([&] { return log_.Count("Stop") == 1; }));

    EXPECT_EQ(source_->Pulls(), 6u);
    EXPECT_EQ(collector_.Bytes(), data);
    std::vector<std::uint32_t> sizes(5, BufferBytes);
    sizes.push_back(500);
    EXPECT_EQ(collector_.Sizes(), sizes);
    const auto played = speaker_->Bytes();
    ASSERT_GE(played.size(), data.size());
    EXPECT_EQ(std::vector<std::uint8_t>(played.begin(), played.begin() + data.size()), data);
    EXPECT_TRUE(log_.AllInMainThread("Stop"));
    EXPECT_EQ(waveOut_->State(), wsOpened);
    // Each pushed buffer names the one the driver plays next, in ring order.
    std::lock_guard guard(pushLock_);
    ASSERT_EQ(pushed_.size(), 6u);
    for (std::size_t i = 0; i + 1 < pushed_.size(); ++i)
        EXPECT_EQ(pushed_[i].second, pushed_[i + 1].first) << "push " << i;
    EXPECT_EQ(pushed_[0].first, pushed_[4].first);
    if (GetParam() == cmThread)
        EXPECT_TRUE(collector_.NoneInMainThread());
    else
        EXPECT_TRUE(collector_.AllInMainThread());
    EXPECT_EQ(log_.Count("Error"), 0u);
}

// The last buffer finishes while the worker still handles the one before,
// which finds the source empty and nothing left at the driver: the last one
// is on its way to the worker, so it is still pushed on before playback ends.
TEST_P(WaveOutTest, TheLastBufferFinishingDuringTheHandlerBeforeItIsStillPushed)
{
    if (GetParam() != cmThread)
        GTEST_SKIP() << "handlers run in the main thread, one step at a time";
    Build(Counter(0, 5 * BufferBytes + 500));
    TEvent entered(true, false);
    TEvent release(true, false);
    std::atomic<int> ready{0};
    waveOut_->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr)
    {
        if (++ready == 5)
        {
            entered.SetEvent();
            release.WaitFor(10000);
        }
    };
    waveOut_->Start();
    for (std::size_t i = 1; i <= 4; ++i)
        ASSERT_TRUE(PlayBuffer(i)) << "buffer " << i;
    card_->AdvanceFrames(BufferFrames);
    ASSERT_EQ(entered.WaitFor(10000), TWaitResult::wrSignaled);
    card_->AdvanceFrames(BufferFrames);
    release.SetEvent();
    ASSERT_TRUE(PumpUntil([&] { return log_.Count("Stop") == 1; }));
    EXPECT_EQ(collector_.BufferCount(), 6u);
    EXPECT_EQ(collector_.Bytes(), Counter(0, 5 * BufferBytes + 500));
}

TEST_P(WaveOutTest, ASourceWithNothingAtStartLeavesTheDeviceClosed)
{
    Build({});
    TLog chainLog;
    TRecordingComponent connector(nullptr, "connector", chainLog);
    waveOut_->SetOutput(&connector);
    EXPECT_EQ(WaveOutErrorOf([&] { waveOut_->Start(); }),
              "WaveOutStart:\n\rUnable to start device");
    EXPECT_EQ(waveOut_->State(), wsClosed);
    EXPECT_GE(log_.Count("Error"), 1u);
    // The stretch was opened and started, then told that the chain stopped
    // and closed.
    ASSERT_GE(chainLog.size(), 5u);
    EXPECT_EQ(TLog(chainLog.begin(), chainLog.begin() + 4),
              (TLog{"connector.SetBufferSize 2000", "connector.ChainOpened",
                    "connector.ChainStarted", "connector.ChainStopped"}));
    EXPECT_EQ(chainLog.back(), "connector.ChainClosed");
}

TEST_P(WaveOutTest, ARefillWithoutDataEndsPlaybackWithAnError)
{
    Build(Counter(0, 20 * BufferBytes));
    source_->EmptyFromPull = 5;
    waveOut_->Start();
    ASSERT_TRUE(PlayBuffer(1));
    ASSERT_TRUE(PumpUntil([&] { return waveOut_->State() == wsClosed; }));
    EXPECT_EQ(errorBoxes_, std::vector<std::string>{"Error filling wave buffer"});
    EXPECT_GE(log_.Count("Error"), 1u);
    // Closed cleanly: it starts again.
    source_->EmptyFromPull = SIZE_MAX;
    waveOut_->Start();
    EXPECT_TRUE(waveOut_->HasState(wsStarted));
}

TEST_P(WaveOutTest, PauseRestartResetAndStopControlWhatIsPlayed)
{
    Build(Counter(0, 40 * BufferBytes));
    waveOut_->Start();
    ASSERT_TRUE(PlayBuffer(1));
    ASSERT_TRUE(PumpUntil([&] { return source_->Pulls() == 5; }));

    waveOut_->Pause();
    EXPECT_EQ(waveOut_->State(), wsOpened | wsStarted | wsPaused);
    const std::size_t playedBefore = speaker_->Bytes().size();
    card_->AdvanceFrames(2 * BufferFrames);
    PumpUntil([] { return false; }, 30ms);
    EXPECT_EQ(collector_.BufferCount(), 1u);
    EXPECT_EQ(speaker_->Bytes().size(), playedBefore);

    waveOut_->Restart();
    EXPECT_EQ(waveOut_->State(), wsOpened | wsStarted);
    ASSERT_TRUE(PlayBuffer(2));
    ASSERT_TRUE(PumpUntil([&] { return source_->Pulls() == 6; }));
    EXPECT_EQ(collector_.Bytes(), Counter(0, 2 * BufferBytes));

    // The four buffers still queued (bytes 4000 .. 11999) are dropped; play
    // goes on with fresh pulls from byte 12000.
    waveOut_->Reset();
    EXPECT_EQ(waveOut_->State(), wsOpened | wsStarted);
    EXPECT_EQ(source_->Pulls(), 10u);
    ASSERT_TRUE(PlayBuffer(3));
    const auto bytes = collector_.Bytes();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 2 * BufferBytes, bytes.end()),
              Counter(12000, BufferBytes));

    // The worker may still be refilling the buffer it pushed: the stop then
    // waits for that handler and completes from the main loop.
    waveOut_->Stop();
    ASSERT_TRUE(PumpUntil([&] { return waveOut_->State() == wsOpened; }));
    EXPECT_EQ(waveOut_->BufferCount(), 0);
    EXPECT_EQ(log_.Count("Stop"), 1u);
    waveOut_->Start();
    EXPECT_EQ(waveOut_->State(), wsOpened | wsStarted);
    waveOut_->Close();
    EXPECT_EQ(log_.Count("Error"), 0u);
}

TEST_P(WaveOutTest, AWrappedBufferFiresOnLoopingBetweenItsPushAndItsRefill)
{
    Build(Counter(0, 40 * BufferBytes));
    waveOut_->SetLoopCount(3);
    waveOut_->SetLooping(true);
    source_->WrapOnPull = 2;
    std::vector<std::uint32_t> loopFlags;
    std::atomic<std::size_t> filled{0};
    waveOut_->OnBufferFilled = [&](TMMDSPComponent*, PWaveHdr header)
    {
        loopFlags.push_back(MMWaveHdr(header)->LoopFlag);
        ++filled;
    };
    waveOut_->Start();
    for (std::size_t i = 1; i <= 3; ++i)
        ASSERT_TRUE(PlayBuffer(i));
    // A buffer is filled just after its pull: wait for both, or the close
    // below can stop the last refill before it is written.
    ASSERT_TRUE(PumpUntil([&] { return source_->Pulls() == 7 && filled.load() == 7; }));

    EXPECT_EQ(log_.Count("Looping"), 1u);
    const auto names = log_.Names();
    const auto looping = std::find(names.begin(), names.end(), "Looping");
    ASSERT_NE(looping, names.end());
    ASSERT_NE(looping, names.begin());
    ASSERT_NE(looping + 1, names.end());
    EXPECT_EQ(*(looping - 1), "Ready");
    EXPECT_EQ(*(looping + 1), "Load");
    EXPECT_EQ(std::count(names.begin(), looping, "Ready"), 2);
    EXPECT_EQ(waveOut_->LoopsLeft(), 2);
    waveOut_->Close();
    // A handler still running in the worker defers the close; the flags are
    // read once the worker has ended.
    ASSERT_TRUE(PumpUntil([&] { return waveOut_->State() == wsClosed; }));
    EXPECT_EQ(loopFlags, std::vector<std::uint32_t>(loopFlags.size(), 0xFFFFFFFFu));
    EXPECT_EQ(loopFlags.size(), 7u);
}

TEST_P(WaveOutTest, ANewFormatClosesAnOpenDevice)
{
    Build(Counter(0, 8 * BufferBytes));
    waveOut_->Open();
    ASSERT_TRUE(waveOut_->HasState(wsOpened));
    TWaveFormatEx format{};
    BuildPCMFormat(format, 8, 1, 8000);
    waveOut_->SetWaveFormat(&format);
    EXPECT_EQ(waveOut_->State(), wsClosed);
    EXPECT_EQ(log_.Count("Close"), 1u);
    EXPECT_EQ(waveOut_->GetWaveFormat()->wBitsPerSample, 8);
}

TEST_P(WaveOutTest, TheHourglassShowsOnlyWhileMoreThan100000BytesAreFilled)
{
    std::vector<bool> cursor;
    const auto previous = SetBusyCursorHook([&](bool busy) { cursor.push_back(busy); });
    Build(Counter(0, 200000));
    waveOut_->SetNumBuffers(2);
    waveOut_->Start();
    EXPECT_TRUE(cursor.empty());
    waveOut_->Close();
    waveOut_->SetBufferSize(2048);
    waveOut_->SetNumBuffers(50);
    waveOut_->Start();
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
    waveOut_->Close();
    SetBusyCursorHook(previous);
}

INSTANTIATE_TEST_SUITE_P(Modes, WaveOutTest, ::testing::Values(cmWindow, cmThread),
                         [](const auto& Info)
                         { return Info.param == cmThread ? "Thread" : "Window"; });

// Handling one message at a time holds a request back: main-thread handlers.
using WaveOutWindowModeTest = WaveOutTest;

// The end of the data asks the main thread to stop the device. When the
// device is closed and opened again before that request is handled, the
// request belongs to the old open and leaves the new playback alone, also
// when the platform hands the new device the old one's handle value.
TEST_P(WaveOutWindowModeTest, AStopRequestLeftFromAnEarlierOpenLeavesTheNewOneAlone)
{
    Build(Counter(0, BufferBytes));
    waveOut_->Start();
    card_->AdvanceFrames(BufferFrames);
    ASSERT_TRUE(HandleMessage()); // the last buffer's handler posts the stop request
    ASSERT_EQ(collector_.BufferCount(), 1u);
    waveOut_->Close();
    const std::size_t stops = log_.Count("Stop");

    TTestSource next(nullptr, Counter(0, 8 * BufferBytes));
    waveOut_->SetInput(&next);
    waveOut_->Start();
    ProcessMessages();
    EXPECT_EQ(waveOut_->State(), wsOpened | wsStarted);
    EXPECT_EQ(log_.Count("Stop"), stops);
    EXPECT_TRUE(PlayBuffer(2));
    waveOut_->Close();
}

INSTANTIATE_TEST_SUITE_P(Window, WaveOutWindowModeTest, ::testing::Values(cmWindow));

using WaveOutPropertiesTest = WaveDeviceTest;

// The setter rules are the capture device's (shared); what is the playback
// device's own: its defaults, texts and caption.
TEST_F(WaveOutPropertiesTest, DefaultsTextsAndCaptionAreThePlaybackDevices)
{
    TMMWaveOut waveOut(nullptr);
    EXPECT_EQ(waveOut.GetBufferSize(), 2048);
    EXPECT_EQ(waveOut.NumBuffers(), 10);
    EXPECT_EQ(waveOut.CallBackMode(), cmWindow);
    EXPECT_EQ(waveOut.ProductName(), "Speaker");
    EXPECT_EQ(waveOut.TimeFormat(), tfByte);
    EXPECT_FALSE(waveOut.Looping());
    EXPECT_EQ(waveOut.LoopCount(), 0);

    waveOut.SetDeviceID(3);
    EXPECT_EQ(waveOut.ProductName(), "No wave audio playing device found");
    EXPECT_EQ(WaveOutErrorOf([&] { waveOut.Open(); }), "Invalid DeviceID");
    waveOut.SetDeviceID(0);
    EXPECT_EQ(WaveOutErrorOf([&] { waveOut.Open(); }), "WaveOutOpen:\n\rInvalid wave format");

    std::vector<std::string> captions;
    const auto previous = SetMessageBoxHook([&](const std::string&, const std::string& caption)
                                            { captions.push_back(caption); });
    waveOut.SetCallBackMode(cmCallback);
    SetMessageBoxHook(previous);
    EXPECT_EQ(captions, std::vector<std::string>{"TMMWaveOut"});
}

TEST(WaveOutNoDeviceTest, OpenWithoutPlaybackDevicesFindsNone)
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    card->AddCaptureDevice("Only capture", MakeSilenceSource());
    UseVirtualSoundCard(card);
    TMMWaveOut waveOut(nullptr);
    EXPECT_EQ(waveOut.ProductName(), "No wave audio playing device found");
    EXPECT_EQ(WaveOutErrorOf([&] { waveOut.Open(); }), "No wave audio playing device found");
    UseVirtualSoundCard(nullptr);
}

} // namespace keb::test
