// Part of TMainForm (unit1.h): the start-up, ON / OFF, filter, timer, close
// and about handlers.
#include "app/unit1.h"

#include "settings/MemoryFile.h"

namespace keb
{

void TMainForm::FormCreate()
{
    // Without its bands the equalizer could never filter and every slider
    // move would fail, so the bands come first and a memory folder that
    // cannot be used only costs the memories.
    const std::int32_t rate = Generator->SampleRate();
    const auto width = static_cast<float>(static_cast<long double>(rate / 2) * 0.05L);
    float lower = 0.0F;
    float upper = width;
    for (int band = 0; band < BandCount; ++band)
    {
        Equalizer->Filters()->Add(new TMMEQFilter(lower, upper, 0.0F));
        if (auto* slider = findChild<TMMSlider*>(QString("sl%1").arg(band)))
            slider->SetTag(band);
        lower += width;
        upper += width;
    }
    PrepareMemoryFiles();
}

void TMainForm::PrepareMemoryFiles()
{
    memoryFolder_ = MemoryFolder();
    EnsureMemoryFolder(memoryFolder_);
    for (int memory = 1; memory <= 4; ++memory)
    {
        currentMemoryFile_ = MemoryFilePath(memoryFolder_, memory);
        PrepareMemoryFile(currentMemoryFile_);
    }
}

void TMainForm::StartBtnClick()
{
    try
    {
        if (!WaveOut->HasState(wsStarted))
            MMWaveIn->Start();
        WaveOut->Start();
    }
    catch (...)
    {
        // The click put the button down; it shows the running state only
        // when the devices really run.
        StartBtn->SetDown(WaveOut->HasState(wsStarted));
        throw;
    }
    StartBtn->SetDown(true);
    LED->SetLEDColor(LedFilterOnColor);
    btnEQ->setEnabled(true);
}

void TMainForm::StopBtnClick()
{
    MMWaveIn->Close();
    WaveOut->Close();
    LED->SetLEDColor(LedIdleColor);
    btnEQ->setEnabled(false);
}

void TMainForm::btnEQClick()
{
    Equalizer->SetEnabled(!Equalizer->Enabled());
    Notch->SetEnabled(Equalizer->Enabled());
    NoiseReducer->SetEnabled(Equalizer->Enabled());
    if (Equalizer->Enabled())
    {
        btnEQ->setText("Filter On");
        LED->SetLEDColor(LedFilterOnColor);
    }
    else
    {
        btnEQ->setText("Filter Off");
        LED->SetLEDColor(LedFilterOffColor);
    }
}

void TMainForm::WaveOutStart()
{
    HiTimer->SetEnabled(true);
    StopBtn->setEnabled(true);
    StartBtn->SetDown(true);
}

// The playback device stops at OFF, and by itself when a sound card fails:
// its own, or the capture device's, whose stop reaches it through the chain.
// Either way the whole chain ends and the window shows it stopped; a capture
// device that is closing already (OFF, its own failure) ignores the Close.
void TMainForm::WaveOutStop()
{
    HiTimer->SetEnabled(false);
    MMWaveIn->Close();
    WaveOut->Close();
    StopBtn->setEnabled(false);
    StartBtn->SetDown(false);
    LED->SetLEDColor(LedIdleColor);
    btnEQ->setEnabled(false);
}

void TMainForm::HiTimerTimer()
{
    Connector->Trigger();
    Connector1->Trigger();
}

void TMainForm::FormClose()
{
    WaveOut->Close();
}

void TMainForm::AbClick()
{
    Box->hide();
    RxGIFAnimator1->Start();
}

void TMainForm::RxGIFAnimator1Click()
{
    Box->show();
    RxGIFAnimator1->Stop();
}

} // namespace keb
