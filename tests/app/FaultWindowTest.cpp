#include "FaultWindowTest.h"

#include "app/DemoSoundCard.h"
#include "demo/DemoSignal.h"

#include <algorithm>
#include <cstdlib>

namespace keb::test
{
namespace
{

// The loudest sample relative to full scale (16-bit mono).
double Peak(const std::vector<std::uint8_t>& Bytes)
{
    int loudest = 0;
    for (std::size_t index = 0; index + 1 < Bytes.size(); index += 2)
    {
        const auto bits = static_cast<std::uint16_t>(Bytes[index] | Bytes[index + 1] << 8);
        loudest = std::max(loudest, std::abs(int{static_cast<std::int16_t>(bits)}));
    }
    return loudest / 32768.0;
}

} // namespace

std::shared_ptr<TVirtualSoundCard> FaultWindowTest::BuildCard()
{
    auto card = TVirtualSoundCard::Create(Clock);
    card->AddCaptureDevice("Receiver", MakeDemoSignalSource());
    card->AddPlaybackDevice("Speaker", Speaker);
    return card;
}

bool FaultWindowTest::Play(int Buffers)
{
    if (Clock == TVirtualClock::Stepped)
        return PlayBuffers(Buffers);
    const int target = BuffersFilled.load() + Buffers;
    return PumpUntil([&] { return BuffersFilled.load() >= target; });
}

void FaultWindowTest::Step(const std::function<bool()>& Done)
{
    const int filled = BuffersFilled.load();
    if (Clock == TVirtualClock::Stepped)
        Card->Advance(BufferTime);
    PumpUntil([&] { return Done() || BuffersFilled.load() > filled; }, StepWait);
}

void FaultWindowTest::RunCard(int Steps)
{
    for (int step = 0; step < Steps; ++step)
        Step([] { return false; });
}

bool FaultWindowTest::RunCardUntil(const std::function<bool()>& Done, int Steps)
{
    for (int step = 0; step < Steps && !Done(); ++step)
        Step(Done);
    // What the last steps set off in the capture worker may still be on its way.
    return PumpUntil(Done, 5s);
}

void FaultWindowTest::ExpectRunning(const char* When)
{
    SCOPED_TRACE(When);
    ExpectWindow(true);
    EXPECT_TRUE(Form().MMWaveIn->HasState(wsStarted));
    EXPECT_TRUE(Form().WaveOut->HasState(wsStarted));
}

void FaultWindowTest::ExpectStopped(const char* When)
{
    SCOPED_TRACE(When);
    // A close that meets a device's handler on its worker finishes when the
    // handler leaves, a moment later on a loaded machine.
    EXPECT_TRUE(PumpUntil(
        [&]
        {
            return Form().MMWaveIn->State() == wsClosed && Form().WaveOut->State() == wsClosed &&
                   !Form().StartBtn->Down();
        },
        5s));
    ExpectWindow(false);
    EXPECT_EQ(Form().MMWaveIn->State(), wsClosed);
    EXPECT_EQ(Form().WaveOut->State(), wsClosed);
}

void FaultWindowTest::ExpectWindow(bool Running)
{
    TMainForm& form = Form();
    EXPECT_EQ(form.StartBtn->Down(), Running);
    EXPECT_EQ(form.StopBtn->isEnabled(), Running);
    EXPECT_EQ(form.btnEQ->isEnabled(), Running);
    EXPECT_EQ(form.LED->LEDColor(), Running ? LedFilterOnColor : LedIdleColor);
    EXPECT_EQ(form.HiTimer->Enabled(), Running);
}

void FaultWindowTest::ExpectOnPlaysAgain()
{
    TMainForm& form = Form();
    Speaker->Clear();
    Click(form.StartBtn);
    ExpectRunning("after ON again");
    // The queue gives silence until it has filled; then the receiver's CW
    // tone comes through, keyed, within two seconds.
    ASSERT_TRUE(Play(16));
    EXPECT_GT(Peak(Speaker->Bytes()), TDemoSignal::CwAmplitude / 2);
    Click(form.StopBtn);
    ExpectStopped("after OFF");
}

} // namespace keb::test
