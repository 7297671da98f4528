// Faults of the virtual card's playback device: each gives its exact
// message, fires OnError and leaves the component closed and able to play
// again.
#include "WaveDeviceFixture.h"
#include "devices/MMWavOut.h"

#include <future>

namespace keb::test
{
namespace
{
constexpr std::int32_t BufferBytes = 2000;

std::string Platform(const char* call, TWaveResult result)
{
    return std::string("WaveOut") + call + ":\n\r" + WaveErrorText(result);
}

class WaveOutFaultTest : public WaveDeviceTest, public ::testing::WithParamInterface<TMMCBMode>
{
  protected:
    void SetUp() override
    {
        WaveDeviceTest::SetUp();
        source_ = std::make_unique<TTestSource>(nullptr, Counter(0, 100 * BufferBytes));
        waveOut_ = std::make_unique<TMessageRecording<TMMWaveOut>>(nullptr);
        waveOut_->SetBufferSize(BufferBytes);
        waveOut_->SetNumBuffers(3);
        waveOut_->SetCallBackMode(GetParam());
        waveOut_->SetInput(source_.get());
        waveOut_->SetOutput(&collector_);
        waveOut_->OnError = [this](TComponent*) { ++errors_; };
    }

    void TearDown() override
    {
        waveOut_.reset();
        source_.reset();
        WaveDeviceTest::TearDown();
    }

    std::string StartError()
    {
        try
        {
            waveOut_->Start();
        }
        catch (const EMMWaveOutError& error)
        {
            return error.what();
        }
        return "(no error)";
    }

    void ExpectPlaysAgain()
    {
        const std::size_t before = collector_.BufferCount();
        waveOut_->Start();
        EXPECT_TRUE(StepTo(BufferBytes / 2, collector_, before + 1));
        // A close that meets the worker's handler finishes when it leaves.
        waveOut_->Close();
        EXPECT_TRUE(PumpUntil([&] { return waveOut_->State() == wsClosed; }));
    }

    TCollector collector_{nullptr};
    std::unique_ptr<TTestSource> source_;
    std::unique_ptr<TMessageRecording<TMMWaveOut>> waveOut_;
    int errors_ = 0;
};
} // namespace

TEST_P(WaveOutFaultTest, RefusedOpenReportsThePlatformText)
{
    card_->Playback(0).FailOpen(wrAllocated);
    EXPECT_EQ(StartError(), Platform("Open", wrAllocated));
    EXPECT_GE(errors_, 1);
    EXPECT_EQ(waveOut_->State(), wsClosed);
    card_->Playback(0).FailOpen(wrNoError);
    ExpectPlaysAgain();
}

TEST_P(WaveOutFaultTest, ARefusedWriteAtStartClosesTheDevice)
{
    card_->Playback(0).FailQueue(wrNoMemory);
    EXPECT_EQ(StartError(), Platform("Write", wrNoMemory));
    EXPECT_EQ(waveOut_->State(), wsClosed);
    card_->Playback(0).FailQueue(wrNoError);
    ExpectPlaysAgain();
}

TEST_P(WaveOutFaultTest, AWriteRefusedWhilePlayingClosesTheDeviceAndShowsTheError)
{
    // The refill of the second buffer played is refused: the fault is set as
    // that buffer comes back, before the handler writes it again.
    collector_.BeforeCollect = [this](PWaveHdr)
    {
        if (collector_.BufferCount() == 1)
            card_->Playback(0).FailQueue(wrNoMemory);
    };
    waveOut_->Start();
    ASSERT_TRUE(StepTo(BufferBytes, collector_, 2));
    ASSERT_TRUE(PumpUntil([&] { return waveOut_->State() == wsClosed; }));
    EXPECT_GE(errors_, 1);
    EXPECT_EQ(waveOut_->Messages(), std::vector<std::string>{Platform("Write", wrNoMemory)});
    EXPECT_EQ(errorBoxes_, std::vector<std::string>{Platform("Write", wrNoMemory)});
    card_->Playback(0).FailQueue(wrNoError);
    ExpectPlaysAgain();
}

TEST_P(WaveOutFaultTest, AVanishedDeviceEndsPlaybackAndCannotOpenAgain)
{
    waveOut_->Start();
    ASSERT_TRUE(StepTo(BufferBytes / 2, collector_, 1));
    card_->Playback(0).Vanish();
    ASSERT_TRUE(PumpUntil([&] { return waveOut_->State() == wsClosed; }));
    EXPECT_EQ(errorBoxes_, std::vector<std::string>{Platform("Write", wrDeviceRemoved)});
    EXPECT_EQ(StartError(), Platform("Open", wrDeviceRemoved));
}

INSTANTIATE_TEST_SUITE_P(Modes, WaveOutFaultTest, ::testing::Values(cmWindow, cmThread),
                         [](const auto& Info)
                         { return Info.param == cmThread ? "Thread" : "Window"; });

using WaveOutCloseFaultTest = WaveDeviceTest;

// 500 waits of 10 ms for the closed notification: this test takes five
// seconds.
TEST_F(WaveOutCloseFaultTest, ALostClosedNotificationIsReportedButCloseDoesNotRaise)
{
    TTestSource source(nullptr, Counter(0, 8 * BufferBytes));
    TMessageRecording<TMMWaveOut> waveOut(nullptr);
    waveOut.SetInput(&source);
    int errors = 0;
    waveOut.OnError = [&](TComponent*) { ++errors; };
    waveOut.Open();
    card_->Playback(0).LoseClosedNotification(true);
    EXPECT_NO_THROW(waveOut.Close());
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(waveOut.Messages(),
              std::vector<std::string>{"WaveOutOpen:\n\rUnable to close device"});
    EXPECT_EQ(waveOut.State(), wsClosed);
    card_->Playback(0).LoseClosedNotification(false);
    EXPECT_NO_THROW(waveOut.Open());
    waveOut.Close();
}

// A worker held in a buffer handler beyond every bound when its device is
// destroyed could only come back into freed memory: the program says so on
// standard error and stops. Takes ten seconds: the device waits five for the
// handler and five for the worker.
TEST_F(WaveOutCloseFaultTest, AWorkerHeldBeyondItsBoundStopsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            TTestSource source(nullptr, Counter(0, 40 * BufferBytes));
            TCollector collector(nullptr);
            std::promise<void> never;
            const std::shared_future<void> release = never.get_future().share();
            std::atomic<bool> held{false};
            collector.BeforeCollect = [&](PWaveHdr)
            {
                held = true;
                release.wait();
            };
            auto waveOut = std::make_unique<TMMWaveOut>(nullptr);
            waveOut->SetBufferSize(BufferBytes);
            waveOut->SetNumBuffers(3);
            waveOut->SetCallBackMode(cmThread);
            waveOut->SetInput(&source);
            waveOut->SetOutput(&collector);
            waveOut->Start();
            card_->AdvanceFrames(BufferBytes / 2);
            while (!held.load())
                std::this_thread::yield();
            waveOut.reset();
        },
        "WaveOut worker did not end within 5 seconds");
}

} // namespace keb::test
