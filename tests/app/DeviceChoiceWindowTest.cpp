// The window's devices: remembered choices, the command line's, the start
// actions, and the right-click menu, on a virtual card with two devices of
// each kind.
#include "app/LatencyMode.h"
#include "app/QuitTimer.h"
#include "app/Startup.h"
#include "app/UserSettings.h"
#include "tests/app/WindowTestSupport.h"

#include <QMenu>
#include <fstream>

namespace keb::test
{
namespace
{

class DeviceChoiceWindowTest : public WindowTest
{
  protected:
    std::shared_ptr<TVirtualSoundCard> BuildCard() override
    {
        auto card = WindowTest::BuildCard();
        card->AddCaptureDevice("USB Rig", MakeToneSource(1000, 0.5, 0));
        card->AddPlaybackDevice("Headphones", MakeNullSink());
        return card;
    }

    std::filesystem::path SettingsFile() const { return Home / "config" / "keb" / "keb.conf"; }

    static QMenu* Submenu(QMenu* menu, const QString& title)
    {
        for (QAction* action : menu->actions())
            if (action->text() == title)
                return action->menu();
        return nullptr;
    }

    static QStringList Entries(QMenu* menu)
    {
        QStringList entries;
        for (QAction* action : menu->actions())
            entries << (action->isChecked() ? "*" : "") + action->text();
        return entries;
    }
};

TEST_F(DeviceChoiceWindowTest, RememberedDevicesAreFoundByNameWhereverTheyAreNow)
{
    TStoredChoices stored;
    stored.Input = TRememberedDevice{"USB Rig", 0};
    stored.Output = TRememberedDevice{"Speaker", 1};
    EXPECT_TRUE(ApplyChoices(Form(), stored, {}).empty());
    EXPECT_EQ(Form().MMWaveIn->DeviceID(), 1);
    EXPECT_EQ(Form().WaveOut->DeviceID(), 0);
}

TEST_F(DeviceChoiceWindowTest, AGoneDeviceFallsBackToTheDefaultWithOneNotice)
{
    TStoredChoices stored;
    stored.Input = TRememberedDevice{"Unplugged Dongle", 1};
    const std::vector<std::string> notices = ApplyChoices(Form(), stored, {});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "The capture device \"Unplugged Dongle\" is not available; using the "
                          "default capture device.");
    EXPECT_EQ(Form().MMWaveIn->DeviceID(), WaveMapperId);
    // The default device records like any other.
    Click(Form().StartBtn);
    EXPECT_TRUE(PlayBuffers(3));
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(DeviceChoiceWindowTest, TheCommandLineWinsForThisRunAndNamesMustExist)
{
    TStoredChoices stored;
    stored.Input = TRememberedDevice{"Receiver", 0};
    TCommandLine line;
    line.Input = "usb";
    line.Output = "1";
    ApplyChoices(Form(), stored, line);
    EXPECT_EQ(Form().MMWaveIn->DeviceID(), 1);
    EXPECT_EQ(Form().WaveOut->DeviceID(), 1);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));

    line.Input = "dongle";
    try
    {
        ApplyChoices(Form(), {}, line);
        ADD_FAILURE() << "an unknown device was accepted";
    }
    catch (const EUsageError& error)
    {
        EXPECT_EQ(std::string(error.what()),
                  "No capture device matches \"dongle\"; the capture devices are: -1 default, "
                  "0 \"Receiver\", 1 \"USB Rig\".");
    }
}

TEST_F(DeviceChoiceWindowTest, StartActionsSetThePresetTheWheelAndSwitchOnThenOff)
{
    TCommandLine line;
    line.Preset = TPreset::pr18;
    line.Shift = 2;
    line.On = true;
    // --quit-after, armed as main arms it: before the start actions.
    TQuitTimer quitTimer(0.5);
    quitTimer.SetForm(&Form());
    StartActions(Form(), line);
    EXPECT_TRUE(Form().F18b->Down());
    EXPECT_EQ(Form().Sh->Value(), 2);
    EXPECT_EQ(SliderPositions(), OpenBands(2, 10));
    ASSERT_TRUE(PumpUntil([&] { return Form().ChainRuns(); }));
    EXPECT_TRUE(Form().StopBtn->isEnabled());
    ASSERT_TRUE(PumpUntil([&] { return !Form().isVisible() && !Form().ChainRuns(); }));
    EXPECT_TRUE(quitTimer.Expired());
    EXPECT_FALSE(Form().StopBtn->isEnabled());
    EXPECT_TRUE(ErrorBoxes.empty());
}

// 2^32 ms and one second: a timer kept in Qt's 32 bits of milliseconds
// would end the run after one second.
TEST_F(DeviceChoiceWindowTest, AQuitAfterBeyondQtsTimerRangeWaitsItsTime)
{
    Form().show();
    TQuitTimer quitTimer(4294968.296);
    quitTimer.SetForm(&Form());
    PumpFor(1500ms);
    EXPECT_FALSE(quitTimer.Expired());
    EXPECT_TRUE(Form().isVisible());
}

TEST_F(DeviceChoiceWindowTest, TheMenuListsTheDevicesAndRemembersAChoice)
{
    const TUserSettings settings(SettingsFile());
    Form().UseSettings(&settings);
    QMenu* menu = Form().BuildContextMenu();
    QMenu* input = Submenu(menu, "Input device");
    QMenu* output = Submenu(menu, "Output device");
    ASSERT_TRUE(input && output);
    EXPECT_EQ(Entries(input), QStringList({"Default", "*Receiver", "USB Rig"}));
    EXPECT_EQ(Entries(output), QStringList({"Default", "*Speaker", "Headphones"}));

    input->actions()[2]->trigger();
    output->actions()[0]->trigger();
    EXPECT_EQ(Form().MMWaveIn->DeviceID(), 1);
    EXPECT_EQ(Form().WaveOut->DeviceID(), WaveMapperId);
    const TStoredChoices stored = settings.Load();
    ASSERT_TRUE(stored.Input && stored.Output);
    EXPECT_EQ(stored.Input->Name, "USB Rig");
    EXPECT_EQ(stored.Output->Name, "");
    EXPECT_EQ(Entries(Submenu(Form().BuildContextMenu(), "Input device")),
              QStringList({"Default", "Receiver", "*USB Rig"}));
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(DeviceChoiceWindowTest, TheLatencyModeComesFromTheMenuTheSettingsOrTheCommandLine)
{
    const TUserSettings settings(SettingsFile());
    TStoredChoices stored;
    stored.Latency = TLatency::Low;
    ApplyChoices(Form(), stored, {});
    EXPECT_EQ(LatencyOf(Form()), TLatency::Low);
    TCommandLine line;
    line.Latency = TLatency::Standard;
    ApplyChoices(Form(), stored, line);
    EXPECT_EQ(LatencyOf(Form()), TLatency::Standard);

    Form().UseSettings(&settings);
    QMenu* latency = Submenu(Form().BuildContextMenu(), "Latency");
    ASSERT_NE(latency, nullptr);
    EXPECT_EQ(Entries(latency), QStringList({"*Standard", "Low"}));
    latency->actions()[1]->trigger();
    EXPECT_EQ(LatencyOf(Form()), TLatency::Low);
    EXPECT_EQ(settings.Load().Latency, TLatency::Low);
    // The low mode plays like the standard one.
    Click(Form().StartBtn);
    EXPECT_TRUE(PlayBuffers(4));
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(DeviceChoiceWindowTest, LowLatencyBuffersHoldOnePeriodOfTheChosenDevices)
{
    // Headphones hand over 32 ms at once, like a JACK server at 8000 Hz
    // with 256-frame periods.
    Card->Playback(1).ReportBlockSeconds(0.032);
    EXPECT_EQ(WaveOutGetBlockSeconds(1), 0.032);
    EXPECT_EQ(WaveOutGetBlockSeconds(2), 0.0);
    Form().ChooseLatency(TLatency::Low);
    EXPECT_EQ(Form().WaveOut->GetBufferSize(), 128);
    Form().ChooseDevice(TDeviceKind::Playback, 1);
    EXPECT_EQ(LatencyOf(Form()), TLatency::Low);
    for (const TMMWaveDevice* device : {static_cast<TMMWaveDevice*>(Form().MMWaveIn),
                                        static_cast<TMMWaveDevice*>(Form().WaveOut)})
        EXPECT_EQ(device->GetBufferSize(), 512);
    EXPECT_EQ(Form().MMRingBuffer1->GetBufferSize(), 512);
    Form().ChooseDevice(TDeviceKind::Playback, 0);
    EXPECT_EQ(Form().WaveOut->GetBufferSize(), 128);
    EXPECT_EQ(LatencyOf(Form()), TLatency::Low);

    // The standard buffers are the most a period can ask for.
    EXPECT_EQ(LatencySettings(TLatency::Low, 0.5).BufferSize, 2000);
    EXPECT_EQ(LatencySettings(TLatency::Low, 0.0087).BufferSize, 256);

    // One more playback buffer where a buffer spans several periods, not
    // where it holds exactly one or the period is not known.
    EXPECT_EQ(LatencySettings(TLatency::Low, 128.0 / 48000).PlaybackBuffers, 3);
    EXPECT_EQ(LatencySettings(TLatency::Low, 0.0087).PlaybackBuffers, 3);
    EXPECT_EQ(LatencySettings(TLatency::Low, 0.032).PlaybackBuffers, 2);
    EXPECT_EQ(LatencySettings(TLatency::Low, 0.008).PlaybackBuffers, 2);
    EXPECT_EQ(LatencySettings(TLatency::Low).PlaybackBuffers, 2);
    EXPECT_EQ(Form().WaveOut->NumBuffers(), 2);
    Card->Playback(1).ReportBlockSeconds(0.004);
    Form().ChooseDevice(TDeviceKind::Playback, 1);
    EXPECT_EQ(Form().WaveOut->GetBufferSize(), 128);
    EXPECT_EQ(Form().WaveOut->NumBuffers(), 3);
    EXPECT_EQ(LatencyOf(Form()), TLatency::Low);
    Form().ChooseDevice(TDeviceKind::Playback, 0);
    EXPECT_EQ(Form().WaveOut->NumBuffers(), 2);
    EXPECT_EQ(LatencySettings(TLatency::Standard, 0.032), LatencySettings(TLatency::Standard));
}

TEST_F(DeviceChoiceWindowTest, TheDeviceMenusAreGreyedWhileRunning)
{
    Click(Form().StartBtn);
    ASSERT_TRUE(PumpUntil([&] { return Form().ChainRuns(); }));
    QMenu* menu = Form().BuildContextMenu();
    EXPECT_FALSE(Submenu(menu, "Input device")->isEnabled());
    EXPECT_FALSE(Submenu(menu, "Output device")->isEnabled());
    EXPECT_FALSE(Submenu(menu, "Latency")->isEnabled());
    Click(Form().StopBtn);
    ASSERT_TRUE(PumpUntil([&] { return !Form().ChainRuns(); }));
    menu = Form().BuildContextMenu();
    EXPECT_TRUE(Submenu(menu, "Input device")->isEnabled());
}

TEST_F(DeviceChoiceWindowTest, AChoiceThatCannotBeStoredSaysSoButStillHolds)
{
    std::filesystem::create_directories(Home / "config");
    std::ofstream(Home / "config" / "keb") << "a file where the folder should be";
    const TUserSettings settings(SettingsFile());
    Form().UseSettings(&settings);
    Submenu(Form().BuildContextMenu(), "Input device")->actions()[2]->trigger();
    EXPECT_EQ(Form().MMWaveIn->DeviceID(), 1);
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_EQ(ErrorBoxes[0],
              "The settings could not be written to " + SettingsFile().string() + ".");
}

} // namespace
} // namespace keb::test
