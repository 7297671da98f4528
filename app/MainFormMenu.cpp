// Part of TMainForm (unit1.h): the right-click menu's "Input device",
// "Output device" and "Latency" items (then the noise reduction and notch
// items, MainFormNoiseMenu.cpp).
// The devices are listed afresh each time the menu opens (a card plugged in
// meanwhile shows up); the menus are greyed while the chain runs, since the
// devices refuse changes while open. A choice is remembered in the user's
// settings when the window has them.
#include "app/unit1.h"

#include "app/LatencyMode.h"
#include "app/UserSettings.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QMenu>

namespace keb
{
TMMWaveDevice* TMainForm::DeviceOf(TDeviceKind kind) const
{
    if (kind == TDeviceKind::Capture)
        return MMWaveIn;
    return WaveOut;
}

bool TMainForm::ChainRuns() const
{
    return !MMWaveIn->HasState(wsClosed) || !WaveOut->HasState(wsClosed);
}

void TMainForm::ChooseDevice(TDeviceKind kind, int deviceId)
{
    // Low latency sizes its buffers from the devices' periods.
    const std::optional<TLatency> latency = LatencyOf(*this);
    DeviceOf(kind)->SetDeviceID(deviceId);
    if (latency == TLatency::Low)
        ApplyLatency(*this, TLatency::Low);
    if (!settings_)
        return;
    TStoredChoices choice;
    const TRememberedDevice remembered = RememberDevice(deviceId, ListDevices(kind));
    (kind == TDeviceKind::Capture ? choice.Input : choice.Output) = remembered;
    ReportSettingsProblem(settings_->Store(choice));
}

void TMainForm::ChooseLatency(TLatency latency)
{
    ApplyLatency(*this, latency);
    if (!settings_)
        return;
    TStoredChoices choice;
    choice.Latency = latency;
    ReportSettingsProblem(settings_->Store(choice));
}

void TMainForm::ReportSettingsProblem(const std::string& problem)
{
    if (!problem.empty())
        ShowErrorBox(problem);
}

QMenu* TMainForm::BuildContextMenu(std::optional<double> notchFrequency)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (TDeviceKind kind : {TDeviceKind::Capture, TDeviceKind::Playback})
    {
        QMenu* devices =
            menu->addMenu(kind == TDeviceKind::Capture ? "Input device" : "Output device");
        devices->setEnabled(!ChainRuns());
        auto* group = new QActionGroup(devices);
        const int current = DeviceOf(kind)->DeviceID();
        std::vector<TDeviceEntry> entries = ListDevices(kind);
        entries.insert(entries.begin(), TDeviceEntry{WaveMapperId, "Default"});
        for (const TDeviceEntry& entry : entries)
        {
            QAction* action = devices->addAction(QString::fromStdString(entry.Name));
            action->setCheckable(true);
            action->setChecked(entry.Id == current);
            group->addAction(action);
            QObject::connect(action, &QAction::triggered, this,
                             [this, kind, id = entry.Id]
                             { Run([this, kind, id] { ChooseDevice(kind, id); }); });
        }
    }
    QMenu* latency = menu->addMenu("Latency");
    latency->setEnabled(!ChainRuns());
    auto* modes = new QActionGroup(latency);
    for (TLatency mode : {TLatency::Standard, TLatency::Low})
    {
        QAction* action = latency->addAction(mode == TLatency::Low ? "Low" : "Standard");
        action->setCheckable(true);
        action->setChecked(LatencyOf(*this) == mode);
        modes->addAction(action);
        QObject::connect(action, &QAction::triggered, this,
                         [this, mode] { Run([this, mode] { ChooseLatency(mode); }); });
    }
    AddNoiseMenus(menu, notchFrequency);
    return menu;
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event)
{
    BuildContextMenu(InputWaterfallFrequency(event->pos()))->popup(event->globalPos());
}

} // namespace keb
