// The playback device on the stepped virtual card, fed by a test source:
// what it plays and pushes on, how playback ends, the commands, looping,
// and its properties.
#include "WaveDeviceFixture.h"
#include "devices/MMWavOut.h"
#include "devices/MMWaveDeviceHooks.h"
#include "platform/core/MainLoop.h"
#include "tests/stream/ChainStandIns.h"

namespace keb::test
{
namespace
{
constexpr std::int32_t kBufferBytes = 2000;
constexpr std::uint64_t kBufferFrames = kBufferBytes / 2;

template <typename F> std::string WaveOutErrorOf(F Action)
{
    try
    {
        Action();
    }
    catch (const EMMWaveOutError& Error)
    {
        return Error.what();
    }
    return "(no error)";
}

// source -> playback (four buffers of 2000 bytes) -> collector, logging.
class WaveOutTest : public WaveDeviceTest, public ::testing::WithParamInterface<TMMCBMode>
{
  protected:
    void Build(std::vector<std::uint8_t> Data)
    {
        source = std::make_unique<TTestSource>(nullptr, std::move(Data));
        waveOut = std::make_unique<TMMWaveOut>(nullptr);
        waveOut->SetBufferSize(kBufferBytes);
        waveOut->SetNumBuffers(4);
        waveOut->SetCallBackMode(GetParam());
        waveOut->SetInput(source.get());
        waveOut->SetOutput(&collector);
        waveOut->OnStart = [this](TComponent*) { log.Add("Start"); };
        waveOut->OnStop = [this](TComponent*) { log.Add("Stop"); };
        waveOut->OnClose = [this](TComponent*) { log.Add("Close"); };
        waveOut->OnError = [this](TComponent*) { log.Add("Error"); };
        waveOut->OnLooping = [this](TComponent*) { log.Add("Looping"); };
        waveOut->OnBufferReady = [this](TMMDSPComponent*, PWaveHdr) { log.Add("Ready"); };
        waveOut->OnBufferLoad = [this](TMMDSPComponent*, PWaveHdr, bool&) { log.Add("Load"); };
        collector.BeforeCollect = [this](PWaveHdr Header)
        {
            std::lock_guard guard(pushLock);
            pushed.emplace_back(Header, MMWaveHdr(Header)->CompanionHdr);
        };
    }

    void TearDown() override
    {
        waveOut.reset();
        source.reset();
        WaveDeviceTest::TearDown();
    }

    // Plays one buffer's time and waits until the played buffer was pushed.
    bool PlayBuffer(std::size_t Pushed) { return StepTo(kBufferFrames, collector, Pushed); }

    TEventLog log;
    TCollector collector{nullptr};
    std::unique_ptr<TTestSource> source;
    std::unique_ptr<TMMWaveOut> waveOut;
    std::mutex pushLock;
    std::vector<std::pair<PWaveHdr, PWaveHdr>> pushed; // header, companion
};
} // namespace

TEST_P(WaveOutTest, PlaysTheSourceInOrderAndEndsWhenItHasNoMore)
{
    const auto data = Counter(0, 5 * kBufferBytes + 500);
    Build(data);
    waveOut->Start();
    EXPECT_EQ(waveOut->State(), wsOpened | wsStarted);
    EXPECT_EQ(waveOut->BufferCount(), 4);
    EXPECT_EQ(source->Pulls(), 4u);
    for (std::size_t i = 1; i <= 6; ++i)
        ASSERT_TRUE(PlayBuffer(i)) << "buffer " << i;
    ASSERT_TRUE(PumpUntil([&] { return log.Count("Stop") == 1; }));

    EXPECT_EQ(source->Pulls(), 6u);
    EXPECT_EQ(collector.Bytes(), data);
    std::vector<std::uint32_t> sizes(5, kBufferBytes);
    sizes.push_back(500);
    EXPECT_EQ(collector.Sizes(), sizes);
    const auto played = Speaker->Bytes();
    ASSERT_GE(played.size(), data.size());
    EXPECT_EQ(std::vector<std::uint8_t>(played.begin(), played.begin() + data.size()), data);
    EXPECT_TRUE(log.AllInMainThread("Stop"));
    EXPECT_EQ(waveOut->State(), wsOpened);
    // Each pushed buffer names the one the driver plays next, in ring order.
    std::lock_guard guard(pushLock);
    ASSERT_EQ(pushed.size(), 6u);
    for (std::size_t i = 0; i + 1 < pushed.size(); ++i)
        EXPECT_EQ(pushed[i].second, pushed[i + 1].first) << "push " << i;
    EXPECT_EQ(pushed[0].first, pushed[4].first);
    if (GetParam() == cmThread)
        EXPECT_TRUE(collector.NoneInMainThread());
    else
        EXPECT_TRUE(collector.AllInMainThread());
    EXPECT_EQ(log.Count("Error"), 0u);
}

TEST_P(WaveOutTest, ASourceWithNothingAtStartLeavesTheDeviceClosed)
{
    Build({});
    TLog chainLog;
    TRecordingComponent connector(nullptr, "connector", chainLog);
    waveOut->SetOutput(&connector);
    EXPECT_EQ(WaveOutErrorOf([&] { waveOut->Start(); }), "WaveOutStart:\n\rUnable to start device");
    EXPECT_EQ(waveOut->State(), wsClosed);
    EXPECT_GE(log.Count("Error"), 1u);
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
    Build(Counter(0, 20 * kBufferBytes));
    source->EmptyFromPull = 5;
    waveOut->Start();
    ASSERT_TRUE(PlayBuffer(1));
    ASSERT_TRUE(PumpUntil([&] { return waveOut->State() == wsClosed; }));
    EXPECT_EQ(ErrorBoxes, std::vector<std::string>{"Error filling wave buffer"});
    EXPECT_GE(log.Count("Error"), 1u);
    // Closed cleanly: it starts again.
    source->EmptyFromPull = SIZE_MAX;
    waveOut->Start();
    EXPECT_TRUE(waveOut->HasState(wsStarted));
}

TEST_P(WaveOutTest, PauseRestartResetAndStopControlWhatIsPlayed)
{
    Build(Counter(0, 40 * kBufferBytes));
    waveOut->Start();
    ASSERT_TRUE(PlayBuffer(1));
    ASSERT_TRUE(PumpUntil([&] { return source->Pulls() == 5; }));

    waveOut->Pause();
    EXPECT_EQ(waveOut->State(), wsOpened | wsStarted | wsPaused);
    const std::size_t playedBefore = Speaker->Bytes().size();
    Card->AdvanceFrames(2 * kBufferFrames);
    PumpUntil([] { return false; }, 30ms);
    EXPECT_EQ(collector.BufferCount(), 1u);
    EXPECT_EQ(Speaker->Bytes().size(), playedBefore);

    waveOut->Restart();
    EXPECT_EQ(waveOut->State(), wsOpened | wsStarted);
    ASSERT_TRUE(PlayBuffer(2));
    ASSERT_TRUE(PumpUntil([&] { return source->Pulls() == 6; }));
    EXPECT_EQ(collector.Bytes(), Counter(0, 2 * kBufferBytes));

    // The four buffers still queued (bytes 4000 .. 11999) are dropped; play
    // goes on with fresh pulls from byte 12000.
    waveOut->Reset();
    EXPECT_EQ(waveOut->State(), wsOpened | wsStarted);
    EXPECT_EQ(source->Pulls(), 10u);
    ASSERT_TRUE(PlayBuffer(3));
    const auto bytes = collector.Bytes();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 2 * kBufferBytes, bytes.end()),
              Counter(12000, kBufferBytes));

    waveOut->Stop();
    EXPECT_EQ(waveOut->State(), wsOpened);
    EXPECT_EQ(waveOut->BufferCount(), 0);
    EXPECT_EQ(log.Count("Stop"), 1u);
    waveOut->Start();
    EXPECT_EQ(waveOut->State(), wsOpened | wsStarted);
    waveOut->Close();
    EXPECT_EQ(log.Count("Error"), 0u);
}

TEST_P(WaveOutTest, AWrappedBufferFiresOnLoopingBetweenItsPushAndItsRefill)
{
    Build(Counter(0, 40 * kBufferBytes));
    waveOut->SetLoopCount(3);
    waveOut->SetLooping(true);
    source->WrapOnPull = 2;
    std::vector<std::uint32_t> loopFlags;
    waveOut->OnBufferFilled = [&](TMMDSPComponent*, PWaveHdr Header)
    { loopFlags.push_back(MMWaveHdr(Header)->LoopFlag); };
    waveOut->Start();
    for (std::size_t i = 1; i <= 3; ++i)
        ASSERT_TRUE(PlayBuffer(i));
    ASSERT_TRUE(PumpUntil([&] { return source->Pulls() == 7; }));

    EXPECT_EQ(log.Count("Looping"), 1u);
    const auto names = log.Names();
    const auto looping = std::find(names.begin(), names.end(), "Looping");
    ASSERT_NE(looping, names.end());
    ASSERT_NE(looping, names.begin());
    ASSERT_NE(looping + 1, names.end());
    EXPECT_EQ(*(looping - 1), "Ready");
    EXPECT_EQ(*(looping + 1), "Load");
    EXPECT_EQ(std::count(names.begin(), looping, "Ready"), 2);
    EXPECT_EQ(waveOut->LoopsLeft(), 2);
    waveOut->Close();
    // A handler still running in the worker defers the close; the flags are
    // read once the worker has ended.
    ASSERT_TRUE(PumpUntil([&] { return waveOut->State() == wsClosed; }));
    EXPECT_EQ(loopFlags, std::vector<std::uint32_t>(loopFlags.size(), 0xFFFFFFFFu));
    EXPECT_EQ(loopFlags.size(), 7u);
}

TEST_P(WaveOutTest, ANewFormatClosesAnOpenDevice)
{
    Build(Counter(0, 8 * kBufferBytes));
    waveOut->Open();
    ASSERT_TRUE(waveOut->HasState(wsOpened));
    TWaveFormatEx format{};
    BuildPCMFormat(format, 8, 1, 8000);
    waveOut->SetWaveFormat(&format);
    EXPECT_EQ(waveOut->State(), wsClosed);
    EXPECT_EQ(log.Count("Close"), 1u);
    EXPECT_EQ(waveOut->GetWaveFormat()->wBitsPerSample, 8);
}

TEST_P(WaveOutTest, TheHourglassShowsOnlyWhileMoreThan100000BytesAreFilled)
{
    std::vector<bool> cursor;
    const auto previous = SetBusyCursorHook([&](bool Busy) { cursor.push_back(Busy); });
    Build(Counter(0, 200000));
    waveOut->SetNumBuffers(2);
    waveOut->Start();
    EXPECT_TRUE(cursor.empty());
    waveOut->Close();
    waveOut->SetBufferSize(2048);
    waveOut->SetNumBuffers(50);
    waveOut->Start();
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
    waveOut->Close();
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
    Build(Counter(0, kBufferBytes));
    waveOut->Start();
    Card->AdvanceFrames(kBufferFrames);
    ASSERT_TRUE(HandleMessage()); // the last buffer's handler posts the stop request
    ASSERT_EQ(collector.BufferCount(), 1u);
    waveOut->Close();
    const std::size_t stops = log.Count("Stop");

    TTestSource next(nullptr, Counter(0, 8 * kBufferBytes));
    waveOut->SetInput(&next);
    waveOut->Start();
    ProcessMessages();
    EXPECT_EQ(waveOut->State(), wsOpened | wsStarted);
    EXPECT_EQ(log.Count("Stop"), stops);
    EXPECT_TRUE(PlayBuffer(2));
    waveOut->Close();
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
    const auto previous = SetMessageBoxHook([&](const std::string&, const std::string& Caption)
                                            { captions.push_back(Caption); });
    waveOut.SetCallBackMode(cmCallback);
    SetMessageBoxHook(previous);
    EXPECT_EQ(captions, std::vector<std::string>{"TMMWaveOut"});
}

TEST(WaveOutNoDeviceTest, OpenWithoutPlaybackDevicesFindsNone)
{
    auto card = VirtualSoundCard::Create(VirtualClock::Stepped);
    card->AddCaptureDevice("Only capture", MakeSilenceSource());
    UseVirtualSoundCard(card);
    TMMWaveOut waveOut(nullptr);
    EXPECT_EQ(waveOut.ProductName(), "No wave audio playing device found");
    EXPECT_EQ(WaveOutErrorOf([&] { waveOut.Open(); }), "No wave audio playing device found");
    UseVirtualSoundCard(nullptr);
}

} // namespace keb::test
