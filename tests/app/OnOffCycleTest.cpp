// The window switched on and off 50 times on the real path (PortAudio, ALSA
// file devices over the JACK server): every OFF leaves both devices closed,
// nothing reaches the error box, nothing hangs, and audio flows each time it
// is waited for. Every tenth cycle the window switches latency mode while
// stopped, so both modes open and close the devices.
#include "PathSignals.h"
#include "RealPath.h"
#include "app/LatencyMode.h"
#include "platform/audio/DeviceChoice.h"
#include "tests/app/WindowTestSupport.h"

#include <QTest>
#include <cstdio>

namespace keb::test
{
namespace
{

constexpr int Cycles = 50;

int FileDeviceId(TDeviceKind kind)
{
    const TDeviceChoice choice = ResolveDevice(kind, FileDevice, ListDevices(kind));
    EXPECT_TRUE(choice.Found) << choice.Error;
    return choice.Found ? choice.DeviceId : WaveMapperId;
}

void Click(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

TEST(OnOffCycleTest, FiftyCyclesEndWithBothDevicesClosed)
{
    TWatchdog watchdog(240s);
    const std::string problem = JackPathProblem();
    ASSERT_TRUE(problem.empty()) << problem;
    TScratchFolder home;
    ::setenv("KEB_HOME", (home.Path() / "memories").c_str(), 1);
    std::vector<std::string> errorBoxes;
    const TErrorBoxHandler previous =
        SetErrorBoxHandler([&](const std::string& message) { errorBoxes.push_back(message); });
    WriteRaw(RecordingFile(), TonesAndNoise(4, 11));

    std::atomic<int> filled{0};
    {
        TMainForm form;
        form.MMWaveIn->SetDeviceID(FileDeviceId(TDeviceKind::Capture));
        form.WaveOut->SetDeviceID(FileDeviceId(TDeviceKind::Playback));
        form.WaveOut->OnBufferFilled = [&](TMMDSPComponent*, PWaveHdr) { ++filled; };
        form.show();
        for (int cycle = 0; cycle < Cycles && errorBoxes.empty(); ++cycle)
        {
            // Off at once, after the first buffer, after the second.
            const int wanted = filled.load() + cycle % 3;
            Click(form.StartBtn);
            ASSERT_TRUE(form.MMWaveIn->HasState(wsStarted)) << "cycle " << cycle;
            ASSERT_TRUE(PumpUntil([&] { return filled.load() >= wanted; }, 10s))
                << "no audio in cycle " << cycle;
            Click(form.StopBtn);
            ASSERT_TRUE(PumpUntil(
                [&]
                { return form.MMWaveIn->HasState(wsClosed) && form.WaveOut->HasState(wsClosed); },
                10s))
                << "a device is still open after OFF in cycle " << cycle;
            EXPECT_FALSE(form.HiTimer->Enabled());
            EXPECT_TRUE(form.StartBtn->isEnabled());
            if (cycle % 10 == 9)
            {
                const TLatency next =
                    LatencyOf(form) == TLatency::Low ? TLatency::Standard : TLatency::Low;
                form.ChooseLatency(next);
                EXPECT_EQ(LatencyOf(form), next) << "cycle " << cycle;
            }
        }
        std::printf("%d on/off cycles on the real path, %d playback buffers filled\n", Cycles,
                    filled.load());
    }
    PumpFor(20ms);
    SetErrorBoxHandler(previous);
    ::unsetenv("KEB_HOME");
    EXPECT_TRUE(errorBoxes.empty()) << errorBoxes.front();
}

} // namespace
} // namespace keb::test
