// Faults of the virtual card's capture device: each gives its exact message,
// fires OnError, and leaves the component closed and able to open again.
#include "WaveDeviceFixture.h"
#include "devices/MMWavIn.h"

namespace keb::test
{
namespace
{
std::string Platform(const char* Call, TWaveResult Result)
{
    return std::string("WaveIn") + Call + ":\n\r" + WaveErrorText(Result);
}

using TMessageRecordingWaveIn = TMessageRecording<TMMWaveIn>;

class WaveInFaultTest : public WaveDeviceTest, public ::testing::WithParamInterface<TMMCBMode>
{
  protected:
    void SetUp() override
    {
        WaveDeviceTest::SetUp();
        waveIn = std::make_unique<TMessageRecordingWaveIn>(nullptr);
        waveIn->SetSampleRate(8000);
        waveIn->SetBitLength(b16Bit);
        waveIn->SetBufferSize(2000);
        waveIn->SetNumBuffers(3);
        waveIn->SetCallBackMode(GetParam());
        waveIn->SetOutput(&collector);
        waveIn->OnError = [this](TComponent*) { ++errors; };
    }

    void TearDown() override
    {
        waveIn.reset();
        WaveDeviceTest::TearDown();
    }

    // Runs Action, expecting an EMMWaveInError; returns its message.
    template <typename F> std::string ErrorOf(F Action)
    {
        try
        {
            Action();
        }
        catch (const EMMWaveInError& Error)
        {
            return Error.what();
        }
        return "(no error)";
    }

    // The device opens, runs and closes cleanly once the fault is gone.
    void ExpectReopens()
    {
        const std::size_t before = collector.BufferCount();
        waveIn->Start();
        EXPECT_TRUE(StepTo(1000, collector, before + 1));
        // A close that meets the worker's handler finishes when it leaves.
        waveIn->Close();
        EXPECT_TRUE(PumpUntil([&] { return waveIn->State() == wsClosed; }));
    }

    TCollector collector{nullptr};
    std::unique_ptr<TMessageRecordingWaveIn> waveIn;
    int errors = 0;
};
} // namespace

TEST_P(WaveInFaultTest, RefusedOpenReportsThePlatformText)
{
    Card->Capture(0).FailOpen(wrAllocated);
    EXPECT_EQ(ErrorOf([&] { waveIn->Start(); }), Platform("Open", wrAllocated));
    EXPECT_GE(errors, 1);
    EXPECT_EQ(waveIn->State(), wsClosed);
    EXPECT_FALSE(waveIn->Opened());
    Card->Capture(0).FailOpen(wrNoError);
    ExpectReopens();
}

TEST_P(WaveInFaultTest, RefusedBuffersAtStartCloseTheDevice)
{
    Card->Capture(0).FailQueue(wrNoMemory);
    EXPECT_EQ(ErrorOf([&] { waveIn->Start(); }), Platform("AddBuffer", wrNoMemory));
    EXPECT_GE(errors, 1);
    EXPECT_EQ(waveIn->State(), wsClosed);
    Card->Capture(0).FailQueue(wrNoError);
    ExpectReopens();
}

TEST_P(WaveInFaultTest, ABufferRefusedWhileRecordingClosesTheDeviceAndShowsTheError)
{
    // The second buffer recorded is refused when it goes back to the card:
    // the fault is set as that buffer arrives, before the handler adds it.
    collector.BeforeCollect = [this](PWaveHdr)
    {
        if (collector.BufferCount() == 1)
            Card->Capture(0).FailQueue(wrNoMemory);
    };
    waveIn->Start();
    ASSERT_TRUE(StepTo(2000, collector, 2));
    ASSERT_TRUE(PumpUntil([&] { return waveIn->State() == wsClosed; }));
    EXPECT_GE(errors, 1);
    EXPECT_EQ(waveIn->Messages(), std::vector<std::string>{Platform("AddBuffer", wrNoMemory)});
    EXPECT_EQ(ErrorBoxes, std::vector<std::string>{Platform("AddBuffer", wrNoMemory)});
    Card->Capture(0).FailQueue(wrNoError);
    ExpectReopens();
}

TEST_P(WaveInFaultTest, AVanishedDeviceEndsRecordingAndCannotOpenAgain)
{
    waveIn->Start();
    ASSERT_TRUE(StepTo(1000, collector, 1));
    Card->Capture(0).Vanish();
    ASSERT_TRUE(PumpUntil([&] { return waveIn->State() == wsClosed; }));
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_EQ(ErrorBoxes[0], Platform("AddBuffer", wrDeviceRemoved));
    // The open names the device's own trouble, not the format.
    EXPECT_EQ(ErrorOf([&] { waveIn->Open(); }), Platform("Open", wrDeviceRemoved));
    EXPECT_EQ(waveIn->State(), wsClosed);
}

TEST_P(WaveInFaultTest, ALostClosedNotificationIsReportedButCloseDoesNotRaise)
{
    waveIn->Start();
    Card->Capture(0).LoseClosedNotification(true);
    EXPECT_NO_THROW(waveIn->Close());
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(waveIn->Messages(),
              std::vector<std::string>{"WaveInOpen:\n\rUnable to close device"});
    EXPECT_EQ(waveIn->State(), wsClosed);
    Card->Capture(0).LoseClosedNotification(false);
    ExpectReopens();
}

INSTANTIATE_TEST_SUITE_P(Modes, WaveInFaultTest, ::testing::Values(cmWindow, cmThread),
                         [](const auto& Info)
                         { return Info.param == cmThread ? "Thread" : "Window"; });

} // namespace keb::test
