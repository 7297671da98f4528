// Faults of the virtual card's capture device: each gives its exact message,
// fires OnError, and leaves the component closed and able to open again.
#include "WaveDeviceFixture.h"
#include "devices/MMWavIn.h"

namespace keb::test
{
namespace
{
std::string Platform(const char* call, TWaveResult result)
{
    return std::string("WaveIn") + call + ":\n\r" + WaveErrorText(result);
}

using TMessageRecordingWaveIn = TMessageRecording<TMMWaveIn>;

class WaveInFaultTest : public WaveDeviceTest, public ::testing::WithParamInterface<TMMCBMode>
{
  protected:
    void SetUp() override
    {
        WaveDeviceTest::SetUp();
        waveIn_ = std::make_unique<TMessageRecordingWaveIn>(nullptr);
        waveIn_->SetSampleRate(8000);
        waveIn_->SetBitLength(b16Bit);
        waveIn_->SetBufferSize(2000);
        waveIn_->SetNumBuffers(3);
        waveIn_->SetCallBackMode(GetParam());
        waveIn_->SetOutput(&collector_);
        waveIn_->OnError = [this](TComponent*) { ++errors_; };
    }

    void TearDown() override
    {
        waveIn_.reset();
        WaveDeviceTest::TearDown();
    }

    // Runs Action, expecting an EMMWaveInError; returns its message.
    template <typename F> std::string ErrorOf(F action)
    {
        try
        {
            action();
        }
        catch (const EMMWaveInError& error)
        {
            return error.what();
        }
        return "(no error)";
    }

    // The device opens, runs and closes cleanly once the fault is gone.
    void ExpectReopens()
    {
        const std::size_t before = collector_.BufferCount();
        waveIn_->Start();
        EXPECT_TRUE(StepTo(1000, collector_, before + 1));
        // A close that meets the worker's handler finishes when it leaves.
        waveIn_->Close();
        EXPECT_TRUE(PumpUntil([&] { return waveIn_->State() == wsClosed; }));
    }

    TCollector collector_{nullptr};
    std::unique_ptr<TMessageRecordingWaveIn> waveIn_;
    int errors_ = 0;
};
} // namespace

TEST_P(WaveInFaultTest, RefusedOpenReportsThePlatformText)
{
    card_->Capture(0).FailOpen(wrAllocated);
    EXPECT_EQ(ErrorOf([&] { waveIn_->Start(); }), Platform("Open", wrAllocated));
    EXPECT_GE(errors_, 1);
    EXPECT_EQ(waveIn_->State(), wsClosed);
    EXPECT_FALSE(waveIn_->Opened());
    card_->Capture(0).FailOpen(wrNoError);
    ExpectReopens();
}

TEST_P(WaveInFaultTest, RefusedBuffersAtStartCloseTheDevice)
{
    card_->Capture(0).FailQueue(wrNoMemory);
    EXPECT_EQ(ErrorOf([&] { waveIn_->Start(); }), Platform("AddBuffer", wrNoMemory));
    EXPECT_GE(errors_, 1);
    EXPECT_EQ(waveIn_->State(), wsClosed);
    card_->Capture(0).FailQueue(wrNoError);
    ExpectReopens();
}

TEST_P(WaveInFaultTest, ABufferRefusedWhileRecordingClosesTheDeviceAndShowsTheError)
{
    // The second buffer recorded is refused when it goes back to the card:
    // the fault is set as that buffer arrives, before the handler adds it.
    collector_.BeforeCollect = [this](PWaveHdr)
    {
        if (collector_.BufferCount() == 1)
            card_->Capture(0).FailQueue(wrNoMemory);
    };
    waveIn_->Start();
    ASSERT_TRUE(StepTo(2000, collector_, 2));
    ASSERT_TRUE(PumpUntil([&] { return waveIn_->State() == wsClosed; }));
    EXPECT_GE(errors_, 1);
    EXPECT_EQ(waveIn_->Messages(), std::vector<std::string>{Platform("AddBuffer", wrNoMemory)});
    EXPECT_EQ(errorBoxes_, std::vector<std::string>{Platform("AddBuffer", wrNoMemory)});
    card_->Capture(0).FailQueue(wrNoError);
    ExpectReopens();
}

TEST_P(WaveInFaultTest, AVanishedDeviceEndsRecordingAndCannotOpenAgain)
{
    waveIn_->Start();
    ASSERT_TRUE(StepTo(1000, collector_, 1));
    card_->Capture(0).Vanish();
    ASSERT_TRUE(PumpUntil([&] { return waveIn_->State() == wsClosed; }));
    ASSERT_EQ(errorBoxes_.size(), 1u);
    EXPECT_EQ(errorBoxes_[0], Platform("AddBuffer", wrDeviceRemoved));
    // The open names the device's own trouble, not the format.
    EXPECT_EQ(ErrorOf([&] { waveIn_->Open(); }), Platform("Open", wrDeviceRemoved));
    EXPECT_EQ(waveIn_->State(), wsClosed);
}

TEST_P(WaveInFaultTest, ALostClosedNotificationIsReportedButCloseDoesNotRaise)
{
    waveIn_->Start();
    card_->Capture(0).LoseClosedNotification(true);
    EXPECT_NO_THROW(waveIn_->Close());
    EXPECT_EQ(errors_, 1);
    EXPECT_EQ(waveIn_->Messages(),
              std::vector<std::string>{"WaveInOpen:\n\rUnable to close device"});
    EXPECT_EQ(waveIn_->State(), wsClosed);
    card_->Capture(0).LoseClosedNotification(false);
    ExpectReopens();
}

INSTANTIATE_TEST_SUITE_P(Modes, WaveInFaultTest, ::testing::Values(cmWindow, cmThread),
                         [](const auto& Info)
                         { return Info.param == cmThread ? "Thread" : "Window"; });

} // namespace keb::test
