// Part of TMainForm (unit1.h): the band sliders, presets, shift wheel and
// memories.
#include "app/unit1.h"

#include "controls/MMObj.h"
#include "settings/MemoryFile.h"

namespace keb
{

void TMainForm::sliderChange(TMMCustomSlider* sender)
{
    TMMEQFilter* band = Equalizer->Filters()->Items(static_cast<int>(sender->Tag()));
    band->SetValue(2, static_cast<float>(sender->Position()));
}

void TMainForm::ApplyPositions(const std::optional<TBandPositions>& positions)
{
    if (!positions)
        return;
    for (int band = 0; band < BandCount; ++band)
        sl[band]->SetPosition((*positions)[band]);
}

void TMainForm::ApplyPreset(TPreset preset)
{
    ApplyPositions(PresetPositions(preset, Sh->Value()));
}

void TMainForm::SelectShiftingPreset(TSpeedButton* button, TPreset preset)
{
    button->SetDown(true);
    Sh->SetMaxValue(*PresetWheelMaximum(preset));
    ApplyPreset(preset);
    P->show();
    Sh->SetColor(clLime);
    Sh->SetFocus();
}

void TMainForm::DeactivateWheel()
{
    Sh->SetColor(clBtnFace);
    P->hide();
    Button1->setFocus();
}

void TMainForm::F02bClick()
{
    SelectShiftingPreset(F02b, TPreset::pr02);
}

void TMainForm::F04bClick()
{
    SelectShiftingPreset(F04b, TPreset::pr04);
}

void TMainForm::F18bClick()
{
    SelectShiftingPreset(F18b, TPreset::pr18);
}

void TMainForm::F26bClick()
{
    DeactivateWheel();
    F26b->SetDown(true);
    ApplyPreset(TPreset::pr26);
}

void TMainForm::ShChange()
{
    if (F02b->Down())
        ApplyPreset(TPreset::pr02);
    else if (F04b->Down())
        ApplyPreset(TPreset::pr04);
    else if (F18b->Down())
        ApplyPreset(TPreset::pr18);
}

void TMainForm::Button1Click()
{
    DeactivateWheel();
    for (TSpeedButton* preset : {F02b, F04b, F18b, F26b})
        preset->SetDown(false);
    ApplyPositions(FlatPositions());
}

void TMainForm::MemoryClick(int memory)
{
    DeactivateWheel();
    M->setEnabled(true);
    MemoryButtons[memory - 1]->SetDown(true);
    currentMemoryFile_ = MemoryFilePath(memoryFolder_, memory);
    // A folder that cannot be searched is left to the loader, whose error
    // names the file.
    std::error_code unknown;
    if (!std::filesystem::exists(currentMemoryFile_, unknown) && !unknown)
        return;
    ApplyPositions(ReadMemoryRecord(currentMemoryFile_));
}

void TMainForm::MClick()
{
    // A memory file that went missing is made again: Save never reports a
    // setting as kept that was not written.
    for (int memory = 1; memory <= 4; ++memory)
    {
        TSpeedButton* button = MemoryButtons[memory - 1];
        if (!button->Down())
            continue;
        TBandPositions record{};
        for (int band = 0; band < BandCount; ++band)
            record[band] = sl[band]->Position();
        // Released only once the record is stored: after a failed write
        // the memory stays selected, so Save can be tried again.
        WriteMemoryRecord(MemoryFilePath(memoryFolder_, memory), record);
        button->SetDown(false);
    }
    M->setEnabled(false);
}

} // namespace keb
