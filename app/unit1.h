// TMainForm: KEB's main window.
//
// The window owns the audio chain
//   MMWaveIn -> MMRingBuffer1 -> Connector1 -> Equalizer -> Notch ->
//   NoiseReducer -> WaveOut -> Connector
// (capture, queue, input tap, 20-band equalizer, notch filter, noise
// reduction, playback, output tap), the
// display timer HiTimer, the two waterfalls fed by the taps, and the
// controls: ON / OFF, Filter On / Off with the status LED, 20 band sliders,
// the presets 0.2 / 0.4 / 1.8 / 2.6 kHz with the shift wheel, "Def", the
// memories A .. D with "Save", and the about view behind "?".
//
// Construction applies the stored layout (every component loading, its
// settings and both ends of its links set, then Loaded) and runs FormCreate:
// it prepares the memory files in the memory folder (created when missing)
// and gives the equalizer its 20 bands of 200 Hz. A memory folder that cannot
// be used shows one error box; the window works without memories then.
//
// Handlers run in the main thread. An error that leaves a handler started by
// the user (a click, a key, the wheel) or by a device event goes to the
// error box (keb::HandleException); the handler's remaining steps are
// skipped. While a handler runs, errors of the handlers it sets off (a
// slider's change moving a band) reach it and end it.
//
// The audio runs in the devices' workers; the window touches it only through
// the device commands, the Enabled switches of the equalizer, the notch and
// the noise reducer, and their settings (atomics the audio reads). Closing the window closes the
// playback device; destroying it closes the capture device before the chain
// is taken down. Main thread only.
//
// Implemented in: unit1.cpp (construction, the stored layout, the controls and
// their wiring, closing), MainFormHandlers.cpp (start-up, ON / OFF, filter,
// timer, device events and about), MainFormPresets.cpp (band sliders, presets,
// shift wheel, memories), MainFormMenu.cpp (the right-click menu's device and
// latency items), MainFormNoiseMenu.cpp (its noise reduction and notch items).
#pragma once

#include "app/AboutAnimation.h"
#include "app/CommandLine.h"
#include "controls/MMLEDS.h"
#include "controls/MMSlider.h"
#include "controls/MMWheel.h"
#include "devices/MMHTimer.h"
#include "devices/MMRingBf.h"
#include "devices/MMWavIn.h"
#include "devices/MMWavOut.h"
#include "display/MMConect.h"
#include "display/MMSpGram.h"
#include "dsp/MMEQ.h"
#include "dsp/MMFXGen.h"
#include "dsp/NoiseReducer.h"
#include "dsp/NotchFilter.h"
#include "platform/audio/DeviceChoice.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/SpeedButton.h"
#include "settings/BandPositions.h"
#include "settings/Presets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace keb
{

class TMMCustomPanel;
class TUserSettings;

// The colours of the status LED.
constexpr TColor LedIdleColor = clSilver;
constexpr TColor LedFilterOnColor = clLime;
constexpr TColor LedFilterOffColor = clGreen;
// The window's own colour, a light grey.
constexpr TColor FormColor = 12566464;

class TMainForm : public QWidget
{
  public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The memory file Save writes to: that of the memory selected last.
    const std::filesystem::path& CurrentMemoryFile() const { return currentMemoryFile_; }

    // Components (owned by the window).
    TMMWaveIn* MMWaveIn = nullptr;
    TMMRingBuffer* MMRingBuffer1 = nullptr;
    TMMConnector* Connector1 = nullptr;
    TMMEqualizer* Equalizer = nullptr;
    TMMNotchFilter* Notch = nullptr;
    TMMNoiseReducer* NoiseReducer = nullptr;
    TMMWaveOut* WaveOut = nullptr;
    TMMConnector* Connector = nullptr;
    TMMHiTimer* HiTimer = nullptr;
    TMMGenerator* Generator = nullptr;

    // Controls (children of the window).
    QGroupBox* Box = nullptr;
    TMMSpectrogram* MMSpectrogram1 = nullptr;
    TMMSpectrogram* MMSpectrogram2 = nullptr;
    std::array<TMMSlider*, BandCount> sl{};
    std::array<QLabel*, BandCount> BandLabels{}; // Label1 (sl19) .. Label20 (sl0)
    QGroupBox* CommonBox = nullptr;
    TSpeedButton* StartBtn = nullptr;
    TBitBtn* StopBtn = nullptr;
    QPushButton* btnEQ = nullptr;
    QPushButton* Button1 = nullptr;
    TSpeedButton* Ab = nullptr;
    QGroupBox* PresetBox = nullptr;
    TMMLED* LED = nullptr;
    QPushButton* M = nullptr;
    TSpeedButton* F02b = nullptr;
    TSpeedButton* F04b = nullptr;
    TSpeedButton* F18b = nullptr;
    TSpeedButton* F26b = nullptr;
    std::array<TSpeedButton*, 4> MemoryButtons{}; // M1b .. M4b
    QLabel* ShiftLabel = nullptr;
    TMMCustomPanel* P = nullptr;
    TMMWheel* Sh = nullptr;
    QLabel* ShiftPresetsLabel = nullptr;
    QLabel* Label25 = nullptr;
    TAboutAnimation* RxGIFAnimator1 = nullptr;

    // Handlers (public so that the program's tests can reach them).
    void FormCreate();
    void StartBtnClick();
    void StopBtnClick();
    void btnEQClick();
    void WaveOutStart();
    void WaveOutStop();
    void HiTimerTimer();
    void FormClose();
    void AbClick();
    void RxGIFAnimator1Click();
    void sliderChange(TMMCustomSlider* sender);
    void F02bClick();
    void F04bClick();
    void F18bClick();
    void F26bClick();
    void ShChange();
    void Button1Click();
    void MemoryClick(int memory); // M1bClick .. M4bClick: memory 1 .. 4
    void MClick();

    // The right-click menu (MainFormMenu.cpp): the capture and playback
    // devices and the latency mode, greyed while the chain runs. Choices are
    // remembered in Settings when the window has them (none: not kept).
    void UseSettings(const TUserSettings* settings) { settings_ = settings; }
    // notchFrequency: the menu opened on the input waterfall at that
    // frequency, which adds "Notch at N Hz" and "Clear notches".
    QMenu* BuildContextMenu(std::optional<double> notchFrequency = std::nullopt);
    bool ChainRuns() const;
    TMMWaveDevice* DeviceOf(TDeviceKind kind) const;
    // Raise what the devices raise for a number they do not have, or while open.
    void ChooseDevice(TDeviceKind kind, int deviceId);
    void ChooseLatency(TLatency latency);
    // The noise reduction and notch items (MainFormNoiseMenu.cpp); each takes
    // effect at once, running or not, and is remembered.
    void ChooseNoiseReduction(int level);
    void ChooseAutomaticNotch(bool on);
    void AddNotch(double frequency);
    void ClearNotches();
    // The frequency under a point of the window when it lies on the input
    // waterfall.
    std::optional<double> InputWaterfallFrequency(QPoint windowPoint) const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void CreateComponents();
    void LoadComponentSettings();
    void LinkChain();
    void CreateControls();
    void CreateBandControls();
    void CreateCommonBox();
    void CreatePresetBox();
    void CreateAboutView();
    void ConnectHandlers();
    void PrepareMemoryFiles();

    // Runs a handler; an error goes to the error box when no other handler
    // is running, else on to the handler that set this one off.
    void Run(const std::function<void()>& handler);
    void OnClicked(QAbstractButton* button, void (TMainForm::*handler)());

    void ApplyPositions(const std::optional<TBandPositions>& positions);
    void ApplyPreset(TPreset preset);
    void SelectShiftingPreset(TSpeedButton* button, TPreset preset);
    // Wheel inactive: button-face colour, frame hidden, focus on "Def".
    void DeactivateWheel();

    void ReportSettingsProblem(const std::string& problem);
    void AddNoiseMenus(QMenu* menu, std::optional<double> notchFrequency);
    void StoreCleanup();

    std::unique_ptr<TComponent> components_;
    const TUserSettings* settings_ = nullptr;
    std::filesystem::path memoryFolder_;
    std::filesystem::path currentMemoryFile_;
    int handlerDepth_ = 0;
};

} // namespace keb
