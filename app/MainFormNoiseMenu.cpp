// Part of TMainForm (unit1.h): the right-click menu's noise reduction and
// notch items: "Noise reduction" (Off, 1, 2, 3), "Automatic notch" (a check
// item) and, when the menu opens on the input waterfall, "Notch at N Hz" (the
// frequency of the row under the pointer) and "Clear notches". They work while
// the chain runs: the components take the settings at their next buffer. Every
// choice is remembered in the user's settings when the window has them.
#include "app/unit1.h"

#include "app/UserSettings.h"
#include "dsp/CleanupSettings.h"

#include <QActionGroup>
#include <QMenu>
#include <cmath>

namespace keb
{

void TMainForm::ChooseNoiseReduction(int level)
{
    NoiseReducer->SetLevel(level);
    StoreCleanup();
}

void TMainForm::ChooseAutomaticNotch(bool on)
{
    Notch->SetAutomatic(on);
    StoreCleanup();
}

void TMainForm::AddNotch(double frequency)
{
    Notch->AddManualNotch(static_cast<float>(frequency));
    StoreCleanup();
}

void TMainForm::ClearNotches()
{
    Notch->ClearManualNotches();
    StoreCleanup();
}

void TMainForm::StoreCleanup()
{
    if (!settings_)
        return;
    TStoredChoices choice;
    choice.Cleanup = CleanupOf(*Notch, *NoiseReducer);
    ReportSettingsProblem(settings_->Store(choice));
}

std::optional<double> TMainForm::InputWaterfallFrequency(QPoint windowPoint) const
{
    const QPoint point = MMSpectrogram1->mapFrom(this, windowPoint);
    if (!MMSpectrogram1->rect().contains(point))
        return std::nullopt;
    const double frequency = std::round(MMSpectrogram1->FrequencyAt(point.y()));
    return std::clamp(frequency, static_cast<double>(MinNotchHz), static_cast<double>(MaxNotchHz));
}

void TMainForm::AddNoiseMenus(QMenu* menu, std::optional<double> notchFrequency)
{
    menu->addSeparator();
    QMenu* reduction = menu->addMenu("Noise reduction");
    auto* levels = new QActionGroup(reduction);
    for (int level = 0; level <= TMMNoiseReducer::MaxLevel; ++level)
    {
        QAction* action = reduction->addAction(level == 0 ? "Off" : QString::number(level));
        action->setCheckable(true);
        action->setChecked(NoiseReducer->Level() == level);
        levels->addAction(action);
        QObject::connect(action, &QAction::triggered, this,
                         [this, level] { Run([this, level] { ChooseNoiseReduction(level); }); });
    }
    QAction* automatic = menu->addAction("Automatic notch");
    automatic->setCheckable(true);
    automatic->setChecked(Notch->Automatic());
    QObject::connect(automatic, &QAction::toggled, this,
                     [this](bool on) { Run([this, on] { ChooseAutomaticNotch(on); }); });
    if (!notchFrequency)
        return;
    QAction* notchAt =
        menu->addAction(QString("Notch at %1 Hz").arg(static_cast<int>(*notchFrequency)));
    QObject::connect(notchAt, &QAction::triggered, this,
                     [this, f = *notchFrequency] { Run([this, f] { AddNotch(f); }); });
    QAction* clear = menu->addAction("Clear notches");
    clear->setEnabled(!Notch->ManualNotches().empty());
    QObject::connect(clear, &QAction::triggered, this, [this] { Run([this] { ClearNotches(); }); });
}

} // namespace keb
