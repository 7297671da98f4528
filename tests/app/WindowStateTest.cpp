// The window as loaded, and its states: idle, running, stopped; the filter
// switch; the about view; errors of the devices; closing while running.
#include "WindowTestSupport.h"
#include "settings/MemoryFile.h"

#include <QTest>

namespace keb::test
{
namespace
{

struct TExpectedState
{
    bool StartDown;
    bool StopEnabled;
    bool FilterEnabled;
    TColor Led;
    bool TimerEnabled;
};

void ExpectState(TMainForm& Form, const TExpectedState& Expected, const char* Name)
{
    SCOPED_TRACE(Name);
    EXPECT_EQ(Form.StartBtn->Down(), Expected.StartDown);
    EXPECT_EQ(Form.StopBtn->isEnabled(), Expected.StopEnabled);
    EXPECT_EQ(Form.btnEQ->isEnabled(), Expected.FilterEnabled);
    EXPECT_EQ(Form.LED->LEDColor(), Expected.Led);
    EXPECT_EQ(Form.HiTimer->Enabled(), Expected.TimerEnabled);
}

constexpr TExpectedState Idle{false, false, false, 12632256, false};
constexpr TExpectedState Running{true, true, true, 65280, true};
constexpr TExpectedState Stopped = Idle;

using WindowStateTest = WindowTest;

TEST_F(WindowStateTest, LoadsTheStoredLayout)
{
    TMainForm& form = Form();
    EXPECT_EQ(form.windowTitle(), "KEB 1.2.1");
    EXPECT_EQ(form.size(), QSize(409, 318));
    EXPECT_EQ(FromQRgb(form.palette().color(QPalette::Window).rgb()), 12566464u);

    struct TPlace
    {
        QWidget* Control;
        QRect Bounds;
    };
    const std::vector<TPlace> places = {
        {form.Box, {3, 0, 403, 317}},
        {form.MMSpectrogram1, {5, 10, 122, 301}},
        {form.MMSpectrogram2, {285, 10, 28, 301}},
        {form.CommonBox, {314, 206, 80, 102}},
        {form.StartBtn, {8, 16, 31, 23}},
        {form.StopBtn, {40, 16, 31, 23}},
        {form.btnEQ, {8, 44, 63, 24}},
        {form.Button1, {8, 72, 31, 24}},
        {form.Ab, {40, 72, 31, 24}},
        {form.PresetBox, {314, 8, 80, 199}},
        {form.LED, {12, 13, 22, 11}},
        {form.M, {41, 10, 32, 18}},
        {form.F02b, {7, 28, 32, 18}},
        {form.F04b, {7, 46, 32, 18}},
        {form.F18b, {7, 64, 32, 18}},
        {form.F26b, {7, 82, 32, 18}},
        {form.MemoryButtons[0], {41, 28, 32, 18}},
        {form.MemoryButtons[3], {41, 82, 32, 18}},
        {form.P, {5, 114, 70, 70}},
        {form.Label25, {17, 16, 237, 144}},
        {form.RxGIFAnimator1, {273, 186, 128, 126}},
    };
    for (const TPlace& place : places)
        EXPECT_EQ(place.Control->geometry(), place.Bounds)
            << place.Control->objectName().toStdString();
    // Three pixels of border and one lowered pixel: 293 rows of waterfall.
    EXPECT_EQ(form.MMSpectrogram1->BevelExtent(), 4);
    EXPECT_EQ(form.MMSpectrogram2->BevelExtent(), 4);
    EXPECT_EQ(form.Sh->pos(), QPoint(10, 119));
    EXPECT_EQ(form.ShiftLabel->pos(), QPoint(18, 101));
    EXPECT_EQ(form.ShiftPresetsLabel->pos(), QPoint(9, 184));

    for (int band = 0; band < BandCount; ++band)
    {
        SCOPED_TRACE(band);
        TMMSlider* slider = form.sl[band];
        EXPECT_EQ(slider->geometry(), QRect(129, 297 - 15 * band, 77, 12));
        EXPECT_EQ(slider->MinValue(), -60);
        EXPECT_EQ(slider->MaxValue(), 12);
        EXPECT_EQ(slider->Position(), 0);
        EXPECT_EQ(slider->Tag(), band);
        QLabel* label = form.BandLabels[BandCount - 1 - band];
        EXPECT_EQ(label->objectName(), QString("Label%1").arg(BandCount - band));
        EXPECT_EQ(label->text(), QString("%1/%2 Hz").arg(band * 200).arg(band * 200 + 200));
        EXPECT_EQ(label->x(), 210);
    }
    EXPECT_EQ(form.BandLabels[0]->text(), "3800/4000 Hz");
    EXPECT_EQ(form.BandLabels[19]->text(), "0/200 Hz");

    EXPECT_EQ(form.Sh->MinValue(), 0);
    EXPECT_EQ(form.Sh->MaxValue(), 20);
    EXPECT_EQ(form.Sh->Value(), 4);
    EXPECT_FALSE(form.P->isVisible());
    EXPECT_FALSE(form.M->isEnabled());
    EXPECT_EQ(form.M->toolTip(), "Save Memory");
    EXPECT_EQ(form.btnEQ->text(), "Filter On");
    EXPECT_EQ(form.StartBtn->Caption(), "&ON");
    EXPECT_EQ(form.StopBtn->Caption(), "O&FF");
    EXPECT_EQ(form.F26b->Caption(), "2.&6");
    EXPECT_EQ(form.F26b->FontColor(), clFuchsia);
    EXPECT_EQ(form.F02b->FontColor(), clRed);
    EXPECT_EQ(form.MemoryButtons[1]->Caption(), "&B");
    EXPECT_EQ(form.MemoryButtons[1]->FontColor(), clBlue);
    ExpectState(form, Idle, "idle");
}

TEST_F(WindowStateTest, StartUpLinksTheChainAndLaysOutTwentyBands)
{
    TMainForm& form = Form();
    const std::vector<TMMDSPComponent*> chain = {
        form.MMWaveIn, form.MMRingBuffer1, form.Connector1, form.Equalizer,
        form.Notch,    form.NoiseReducer,  form.WaveOut,    form.Connector};
    for (std::size_t index = 0; index + 1 < chain.size(); ++index)
    {
        EXPECT_EQ(chain[index]->GetOutput(), chain[index + 1]);
        EXPECT_EQ(chain[index + 1]->GetInput(), chain[index]);
    }
    EXPECT_EQ(form.Connector->GetOutput(), nullptr);
    EXPECT_EQ(form.Connector1->Spectrogram(0), form.MMSpectrogram1);
    EXPECT_EQ(form.Connector->Spectrogram(0), form.MMSpectrogram2);
    EXPECT_EQ(form.Equalizer->Description(), "Untitled");
    EXPECT_EQ(form.Equalizer->FFTLength(), 256);
    EXPECT_EQ(form.Equalizer->Channel(), chLeft);

    TMMEQFilterList* bands = form.Equalizer->Filters();
    ASSERT_EQ(bands->Count(), BandCount);
    for (int band = 0; band < BandCount; ++band)
    {
        EXPECT_EQ(bands->Items(band)->F1(), 200.0F * band);
        EXPECT_EQ(bands->Items(band)->F2(), 200.0F * (band + 1));
        EXPECT_EQ(bands->Items(band)->Gain(), 0.0F);
    }
    EXPECT_TRUE(form.MMWaveIn->HasState(wsClosed));
    EXPECT_TRUE(form.WaveOut->HasState(wsClosed));
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(WindowStateTest, OnRunsAndOffStops)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    EXPECT_TRUE(form.MMWaveIn->HasState(wsStarted));
    EXPECT_TRUE(form.WaveOut->HasState(wsStarted));
    ExpectState(form, Running, "running");

    Click(form.btnEQ);
    ASSERT_EQ(form.btnEQ->text(), "Filter Off");
    Click(form.StopBtn);
    EXPECT_TRUE(form.MMWaveIn->HasState(wsClosed));
    EXPECT_TRUE(form.WaveOut->HasState(wsClosed));
    ExpectState(form, Stopped, "stopped");
    EXPECT_EQ(form.btnEQ->text(), "Filter Off");
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(WindowStateTest, OnTwiceOnlyStartsThePlaybackAgain)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(PlayBuffers(2));
    const int filled = BuffersFilled.load();
    Click(form.StartBtn);
    ExpectState(form, Running, "after the second ON");
    EXPECT_TRUE(form.MMWaveIn->HasState(wsStarted));
    EXPECT_TRUE(form.WaveOut->HasState(wsStarted));
    // Nothing was reopened or refilled: the same buffers keep playing.
    EXPECT_EQ(BuffersFilled.load(), filled);
    ASSERT_TRUE(PlayBuffers(2));
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(WindowStateTest, FilterSwitchesTheEqualizerAndTheLed)
{
    TMainForm& form = Form();
    Click(form.btnEQ);
    EXPECT_TRUE(form.Equalizer->Enabled()) << "the filter button is disabled while idle";

    Click(form.StartBtn);
    Click(form.btnEQ);
    EXPECT_FALSE(form.Equalizer->Enabled());
    EXPECT_EQ(form.btnEQ->text(), "Filter Off");
    EXPECT_EQ(form.LED->LEDColor(), 32768u);
    Click(form.btnEQ);
    EXPECT_TRUE(form.Equalizer->Enabled());
    EXPECT_EQ(form.btnEQ->text(), "Filter On");
    EXPECT_EQ(form.LED->LEDColor(), 65280u);
}

TEST_F(WindowStateTest, OnAfterFilterOffShowsLimeWhileTheFilterStaysOff)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    Click(form.btnEQ);
    Click(form.StopBtn);
    Click(form.StartBtn);
    EXPECT_EQ(form.LED->LEDColor(), 65280u);
    EXPECT_EQ(form.btnEQ->text(), "Filter Off");
    EXPECT_FALSE(form.Equalizer->Enabled());
    ExpectState(form, Running, "running again");
}

TEST_F(WindowStateTest, AboutViewHidesTheControlsAndBringsThemBack)
{
    TMainForm& form = Form();
    form.sl[5]->SetPosition(-20);
    Click(form.Ab);
    EXPECT_FALSE(form.Box->isVisible());
    EXPECT_TRUE(form.Label25->isVisible());
    EXPECT_TRUE(form.RxGIFAnimator1->isVisible());
    EXPECT_TRUE(form.RxGIFAnimator1->Animating());
    const auto frames = form.RxGIFAnimator1->FrameCount();
    EXPECT_TRUE(PumpUntil([&] { return form.RxGIFAnimator1->FrameCount() > frames + 2; }));
    EXPECT_EQ(form.RxGIFAnimator1->toolTip(), "click for close");

    const QStringList lines = form.Label25->text().split("\r\n");
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[0], "            FREE       ");
    EXPECT_EQ(lines[1], "  ");
    EXPECT_EQ(lines[2], "  DSP filter program for HAM");
    EXPECT_EQ(lines[3], "  KEB 1.2.1 (2001.05.28) ");
    EXPECT_EQ(lines[4], "  ");
    EXPECT_EQ(lines[7], " ");
    EXPECT_EQ(lines[8], QString(37, ' ') + "73 :-)");

    Click(form.RxGIFAnimator1);
    EXPECT_TRUE(form.Box->isVisible());
    EXPECT_FALSE(form.RxGIFAnimator1->Animating());
    EXPECT_EQ(form.sl[5]->Position(), -20);
}

class NoRecordingDeviceTest : public WindowTest
{
  protected:
    std::shared_ptr<TVirtualSoundCard> BuildCard() override
    {
        auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
        card->AddPlaybackDevice("Speaker", Speaker);
        return card;
    }
};

TEST_F(NoRecordingDeviceTest, OnShowsTheDeviceErrorAndTheWindowStaysIdle)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_EQ(ErrorBoxes.size(), 1u);
    EXPECT_EQ(ErrorBoxes[0], "No wave audio recording device found");
    ExpectState(form, Idle, "after the failed ON");
    EXPECT_TRUE(form.WaveOut->HasState(wsClosed));
}

TEST_F(WindowStateTest, ClosingWhileRunningClosesThePlaybackAndEndsCleanly)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(PlayBuffers(4));
    form.close();
    EXPECT_TRUE(form.WaveOut->HasState(wsClosed));
    EXPECT_FALSE(form.HiTimer->Enabled());
    DestroyForm();
    EXPECT_TRUE(ErrorBoxes.empty());
}

} // namespace
} // namespace keb::test
