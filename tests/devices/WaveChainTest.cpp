// The program's chain with both devices on the stepped virtual card:
// capture -> ring stand-in -> playback -> output stand-in. The order in which
// switching on and off reaches the components and the devices' events, and
// the audio that travels from the capture device into the playback device.
#include "WaveDeviceFixture.h"
#include "devices/MMWavIn.h"
#include "devices/MMWavOut.h"
#include "platform/core/MainLoop.h"
#include "tests/stream/ChainStandIns.h"

#include <deque>
#include <initializer_list>

namespace keb::test
{
namespace
{
constexpr std::int32_t BufferBytes = 2000;

// Stands in for the ring buffer in duplex mode: keeps what is pushed, hands
// out the oldest block on a pull, silence while it holds none. Records its
// chain notifications (main thread) in the shared log.
class TRingStandIn : public TRecordingComponent
{
  public:
    TRingStandIn(TLog& log) : TRecordingComponent(nullptr, "ring", log) {}

    void BufferReady(PWaveHdr lpWaveHdr) override
    {
        std::lock_guard guard(lock_);
        blocks_.emplace_back(lpWaveHdr->lpData, lpWaveHdr->lpData + lpWaveHdr->dwBytesRecorded);
    }

    void BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers) override
    {
        std::lock_guard guard(lock_);
        std::fill_n(lpWaveHdr->lpData, lpWaveHdr->dwBufferLength, 0);
        if (!blocks_.empty())
        {
            const auto& block = blocks_.front();
            std::copy_n(block.begin(),
                        std::min<std::size_t>(block.size(), lpWaveHdr->dwBufferLength),
                        lpWaveHdr->lpData);
            blocks_.pop_front();
        }
        lpWaveHdr->dwBytesRecorded = lpWaveHdr->dwBufferLength;
        moreBuffers = true;
    }

  private:
    std::mutex lock_;
    std::deque<std::vector<char>> blocks_;
};

class WaveChainTest : public WaveDeviceTest, public ::testing::WithParamInterface<TMMCBMode>
{
  protected:
    void SetUp() override
    {
        WaveDeviceTest::SetUp();
        waveInOwner_ = std::make_unique<TMMWaveIn>(nullptr);
        waveOutOwner_ = std::make_unique<TMMWaveOut>(nullptr);
        waveIn_ = waveInOwner_.get();
        waveOut_ = waveOutOwner_.get();
        waveIn_->SetSampleRate(8000);
        waveIn_->SetBitLength(b16Bit);
        waveIn_->SetBufferSize(BufferBytes);
        waveIn_->SetNumBuffers(2);
        waveIn_->SetCallBackMode(GetParam());
        waveOut_->SetBufferSize(BufferBytes);
        waveOut_->SetNumBuffers(2);
        waveOut_->SetCallBackMode(GetParam());
        waveIn_->SetOutput(&ring_);
        ring_.SetOutput(waveOut_);
        waveOut_->SetOutput(&connector_);
        LogEvents(*waveIn_, "capture");
        LogEvents(*waveOut_, "playback");
        // As the main window does: the display timer goes with playback, and
        // a stopped playback device is closed.
        waveOut_->OnStop = [this](TComponent*)
        {
            log_.push_back("playback.OnStop");
            waveOut_->Close();
        };
        log_.clear();
    }

    // Records and plays Buffers buffers, one per step.
    void Run(int buffers)
    {
        for (int step = 0; step < buffers; ++step)
        {
            card_->AdvanceFrames(BufferBytes / 2);
            PumpUntil([] { return false; }, 5ms);
        }
    }

    void LogEvents(TMMWaveDevice& device, const std::string& name)
    {
        device.OnOpen = [this, name](TComponent*) { log_.push_back(name + ".OnOpen"); };
        device.OnStart = [this, name](TComponent*) { log_.push_back(name + ".OnStart"); };
        device.OnStop = [this, name](TComponent*) { log_.push_back(name + ".OnStop"); };
        device.OnClose = [this, name](TComponent*) { log_.push_back(name + ".OnClose"); };
        device.OnError = [this, name](TComponent*) { log_.push_back(name + ".OnError"); };
    }

    TLog log_;
    TRingStandIn ring_{log_};
    TRecordingComponent connector_{nullptr, "connector", log_};
    // Made once the virtual card is selected; destroyed before the stand-ins.
    std::unique_ptr<TMMWaveIn> waveInOwner_;
    std::unique_ptr<TMMWaveOut> waveOutOwner_;
    TMMWaveIn* waveIn_ = nullptr;
    TMMWaveOut* waveOut_ = nullptr;
};

// Joins the blocks of Bytes that are not all silence.
std::vector<std::uint8_t> Audible(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> audible;
    for (std::size_t at = 0; at + BufferBytes <= bytes.size(); at += BufferBytes)
    {
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        const auto last = first + BufferBytes;
        if (std::any_of(first, last, [](std::uint8_t byte) { return byte != 0; }))
            audible.insert(audible.end(), first, last);
    }
    return audible;
}
} // namespace

TEST_P(WaveChainTest, SwitchingOnAndOffReachesTheChainInTheProgramsOrder)
{
    waveIn_->Start();
    waveOut_->Start();
    EXPECT_EQ(log_, (TLog{"ring.SetBufferSize 2000", "ring.ChainOpened",
                          "connector.SetBufferSize 2000", "connector.ChainOpened",
                          "playback.OnOpen", "capture.OnOpen", "ring.ChainStarted",
                          "connector.ChainStarted", "playback.OnStart", "capture.OnStart"}));
    EXPECT_TRUE(waveOut_->HasState(wsStarted));
    log_.clear();

    waveIn_->Close();
    waveOut_->Close();
    EXPECT_EQ(log_, (TLog{"connector.ChainStopped", "playback.OnStop", "connector.ChainClosed",
                          "playback.OnClose", "ring.ChainStopped", "capture.OnStop",
                          "ring.ChainClosed", "capture.OnClose"}));
    EXPECT_EQ(waveIn_->State(), wsClosed);
    EXPECT_EQ(waveOut_->State(), wsClosed);
}

TEST_P(WaveChainTest, CapturedAudioIsPlayedInOrder)
{
    waveIn_->Start();
    // Each step records one buffer and plays one; the playback worker pulls
    // what the capture worker has pushed by then, silence otherwise.
    Run(12);
    waveIn_->Close();
    const auto audible = Audible(speaker_->Bytes());
    ASSERT_GE(audible.size(), 4u * BufferBytes);
    EXPECT_EQ(audible, Counter(0, audible.size()));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "capture.OnError"), 0);
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "playback.OnError"), 0);
}

// The buffers a driven pause gives back are not played; after the restart
// playback goes on with what the capture device records from then on.
TEST_P(WaveChainTest, PausingTheChainGivesThePlaybackBuffersBackAndRestartPlaysOn)
{
    waveIn_->Start();
    Run(4);
    waveIn_->Pause();
    EXPECT_TRUE(waveOut_->HasState(wsPaused));
    const std::size_t before = speaker_->Bytes().size();
    waveIn_->Restart();
    EXPECT_FALSE(waveOut_->HasState(wsPaused));
    EXPECT_EQ(waveOut_->BufferCount(), 2);
    Run(6);
    const auto all = speaker_->Bytes();
    const auto after = Audible({all.begin() + static_cast<std::ptrdiff_t>(before), all.end()});
    ASSERT_GE(after.size(), 2u * BufferBytes);
    EXPECT_EQ(after, Counter(after[0], after.size()));
    waveIn_->Close();
    EXPECT_EQ(waveOut_->State(), wsClosed);
}

// Handlers that run in the playback worker, beside the main thread.
using WaveChainThreadTest = WaveChainTest;

// A pause driven from upstream that meets the playback worker inside a
// buffer handler (here held in a synchronise request) lets the handler
// finish first, so its refill is given back with the other buffers and the
// restart queues every buffer exactly once.
TEST_P(WaveChainThreadTest, ADrivenPauseLetsARunningHandlerFinishFirst)
{
    std::atomic<bool> armed{false};
    std::atomic<bool> held{false};
    std::atomic<int> queuedAtNextReturn{-1};
    waveOut_->OnBufferReady = [&](TMMDSPComponent*, PWaveHdr)
    {
        if (!armed.load())
            return;
        if (!held.exchange(true))
            SyncToMainThread([] {});
        else if (queuedAtNextReturn.load() < 0)
            queuedAtNextReturn = waveOut_->QueuedCount();
    };
    waveIn_->Start();
    Run(4);
    armed = true;
    card_->AdvanceFrames(BufferBytes / 2);
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!held.load() && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    ASSERT_TRUE(held.load());

    waveIn_->Pause();
    EXPECT_EQ(waveOut_->QueuedCount(), 0);
    waveIn_->Restart();
    EXPECT_EQ(waveOut_->BufferCount(), 2);
    EXPECT_EQ(waveOut_->QueuedCount(), 2);
    // The next buffer played comes back to a handler that starts only once
    // the held one has ended: one of the two buffers is back, one is queued.
    card_->AdvanceFrames(BufferBytes / 2);
    ASSERT_TRUE(PumpUntil([&] { return queuedAtNextReturn.load() >= 0; }));
    EXPECT_EQ(queuedAtNextReturn.load(), 1);
    // The handler that noted the count may still be returning in the worker:
    // then the playback close waits for it and the main loop completes it.
    waveIn_->Close();
    EXPECT_TRUE(PumpUntil([&] { return waveOut_->State() == wsClosed; }));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "playback.OnError"), 0);
}

INSTANTIATE_TEST_SUITE_P(Thread, WaveChainThreadTest, ::testing::Values(cmThread));

INSTANTIATE_TEST_SUITE_P(Modes, WaveChainTest, ::testing::Values(cmWindow, cmThread),
                         [](const auto& Info)
                         { return Info.param == cmThread ? "Thread" : "Window"; });

} // namespace keb::test

namespace keb::test
{

// On a card with a real-time clock the drivers' contexts run on the card's
// thread while the main thread switches the chain on and off: every switch
// ends closed, without errors, whatever the handlers were doing.
TEST(WaveChainRealTimeTest, SwitchingOnAndOffWhileBuffersTravelEndsCleanly)
{
    TWatchdog watchdog;
    auto card = TVirtualSoundCard::Create(TVirtualClock::RealTime);
    card->AddCaptureDevice("Tone", MakeToneSource(1000, 0.5, 0.1));
    card->AddPlaybackDevice("Speaker", MakeNullSink());
    UseVirtualSoundCard(card);
    {
        TLog log;
        TRingStandIn ring(log);
        TCollector played(nullptr);
        TMMWaveIn waveIn(nullptr);
        TMMWaveOut waveOut(nullptr);
        for (TMMWaveDevice* device : std::initializer_list<TMMWaveDevice*>{&waveIn, &waveOut})
        {
            device->SetBufferSize(160);
            device->SetNumBuffers(3);
            device->SetCallBackMode(cmThread);
        }
        waveIn.SetSampleRate(8000);
        waveIn.SetBitLength(b16Bit);
        waveIn.SetOutput(&ring);
        ring.SetOutput(&waveOut);
        waveOut.SetOutput(&played);
        std::atomic<int> errors{0};
        waveIn.OnError = [&](TComponent*) { ++errors; };
        waveOut.OnError = [&](TComponent*) { ++errors; };
        for (int round = 0; round < 20; ++round)
        {
            const std::size_t before = played.BufferCount();
            waveIn.Start();
            ASSERT_TRUE(PumpUntil([&] { return played.BufferCount() > before + 2; }))
                << "round " << round;
            waveIn.Close();
            waveOut.Close();
            // A close that meets a handler on the card's thread finishes
            // once the handler has left, through the main loop.
            ASSERT_TRUE(PumpUntil(
                [&] { return waveIn.State() == wsClosed && waveOut.State() == wsClosed; }))
                << "round " << round;
        }
        EXPECT_EQ(errors.load(), 0);
    }
    UseVirtualSoundCard(nullptr);
}

} // namespace keb::test
