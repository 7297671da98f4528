#include "app/Startup.h"

#include "app/unit1.h"

#include <QTimer>

namespace keb
{
namespace
{

void ChooseRememberedDevice(TMainForm& form, TDeviceKind kind,
                            const std::optional<TRememberedDevice>& remembered,
                            std::vector<std::string>& notices)
{
    if (!remembered)
        return;
    const TDeviceFallback choice = ChooseRemembered(kind, *remembered, ListDevices(kind));
    form.DeviceOf(kind)->SetDeviceID(choice.DeviceId);
    if (!choice.Notice.empty())
        notices.push_back(choice.Notice);
}

void ChooseNamedDevice(TMainForm& form, TDeviceKind kind, const std::optional<std::string>& name)
{
    if (!name)
        return;
    const TDeviceChoice choice = ResolveDevice(kind, *name, ListDevices(kind));
    if (!choice.Found)
        throw EUsageError(choice.Error);
    form.DeviceOf(kind)->SetDeviceID(choice.DeviceId);
}

TSpeedButton* PresetButton(TMainForm& form, TPreset preset)
{
    switch (preset)
    {
    case TPreset::pr02:
        return form.F02b;
    case TPreset::pr04:
        return form.F04b;
    case TPreset::pr18:
        return form.F18b;
    case TPreset::pr26:
        return form.F26b;
    }
    return form.F18b;
}

TCleanupSettings CleanupChoice(const TStoredChoices& stored, const TCommandLine& line)
{
    TCleanupSettings cleanup = stored.Cleanup.value_or(TCleanupSettings{});
    if (line.NoiseReduction)
        cleanup.NoiseReduction = *line.NoiseReduction;
    if (line.Notch)
        cleanup.AutomaticNotch = true;
    if (line.NotchAt)
        cleanup.Notches = *line.NotchAt;
    return cleanup;
}

} // namespace

std::vector<std::string> ApplyChoices(TMainForm& form, const TStoredChoices& stored,
                                      const TCommandLine& line)
{
    std::vector<std::string> notices;
    ChooseRememberedDevice(form, TDeviceKind::Capture, stored.Input, notices);
    ChooseRememberedDevice(form, TDeviceKind::Playback, stored.Output, notices);
    ChooseNamedDevice(form, TDeviceKind::Capture, line.Input);
    ChooseNamedDevice(form, TDeviceKind::Playback, line.Output);
    if (const std::optional<TLatency> latency = line.Latency ? line.Latency : stored.Latency)
        form.ChooseLatency(*latency);
    ApplyCleanup(CleanupChoice(stored, line), *form.Notch, *form.NoiseReducer);
    return notices;
}

void StartActions(TMainForm& form, const TCommandLine& line)
{
    if (line.Preset)
        PresetButton(form, *line.Preset)->click();
    if (line.Shift)
        form.Sh->SetValue(*line.Shift);
    if (line.On)
        QTimer::singleShot(0, &form, [&form] { form.StartBtn->click(); });
}

} // namespace keb
