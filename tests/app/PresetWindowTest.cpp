// The presets, the shift wheel, "Def" and the selection rules of the preset
// and memory buttons, driven through the buttons and the wheel.
#include "WindowTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

namespace keb::test
{
namespace
{

class PresetWindowTest : public WindowTest
{
  protected:
    // Sliders and equalizer bands both show the expected setting.
    void ExpectBands(const TBandPositions& Expected, const char* Name)
    {
        SCOPED_TRACE(Name);
        EXPECT_EQ(SliderPositions(), Expected);
        EXPECT_EQ(BandGains(), Expected);
    }

    void ExpectWheelActive(bool Active)
    {
        TMainForm& form = Form();
        EXPECT_EQ(form.P->isVisible(), Active);
        EXPECT_EQ(form.Sh->Color(), Active ? clLime : clBtnFace);
        EXPECT_EQ(form.Sh->hasFocus(), Active);
        if (!Active)
        {
            EXPECT_TRUE(form.Button1->hasFocus());
        }
    }

    void TurnWheelTo(int Value)
    {
        TMainForm& form = Form();
        form.Sh->setFocus();
        while (form.Sh->Value() < Value)
            QTest::keyClick(form.Sh, Qt::Key_Right);
        while (form.Sh->Value() > Value)
            QTest::keyClick(form.Sh, Qt::Key_Left);
        ASSERT_EQ(form.Sh->Value(), Value);
    }

    // A turn of the mouse's scroll wheel over Control, in eighths of a
    // degree (120 a notch, forwards positive).
    static void Scroll(QWidget* Control, int Eighths)
    {
        const QPointF centre(Control->width() / 2.0, Control->height() / 2.0);
        QWheelEvent turn(centre, Control->mapToGlobal(centre), QPoint(), QPoint(0, Eighths),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Control, &turn);
    }
};

TEST_F(PresetWindowTest, ShiftingPresetsFollowTheWheel)
{
    struct TStep
    {
        int Wheel;
        int First; // the open bands; none when First > Last
        int Last;
        const char* Name;
    };
    struct TCase
    {
        TSpeedButton* TMainForm::*Button;
        int Maximum;
        std::vector<TStep> Steps; // the first is the wheel's value at the click
    };
    const std::vector<TCase> cases = {
        {&TMainForm::F02b,
         20,
         {{4, 4, 4, "0.2 at 4: 800-1000 Hz"},
          {20, 1, 0, "0.2 at 20: every band closed"},
          {7, 7, 7, "0.2 at 7"}}},
        {&TMainForm::F04b, 19, {{0, 0, 0, "0.4 at 0"}, {19, 18, 19, "0.4 at 19"}}},
        {&TMainForm::F18b,
         12,
         {{0, 0, 8, "1.8 at 0: 0-1800 Hz"},
          {11, 11, 19, "1.8 at 11: 2200-4000 Hz"},
          {12, 11, 19, "1.8 at 12 leaves the sliders"}}},
    };
    TMainForm& form = Form();
    for (const TCase& preset : cases)
    {
        TSpeedButton* button = form.*preset.Button;
        SCOPED_TRACE(button->objectName().toStdString());
        TurnWheelTo(preset.Steps.front().Wheel);
        Click(button);
        EXPECT_TRUE(button->Down());
        EXPECT_EQ(form.Sh->MaxValue(), preset.Maximum);
        ExpectWheelActive(true);
        for (const TStep& step : preset.Steps)
        {
            TurnWheelTo(step.Wheel);
            ExpectBands(OpenBands(step.First, step.Last), step.Name);
        }
    }
}

TEST_F(PresetWindowTest, MaximumBelowTheWheelValueKeepsTheValueUntilTurned)
{
    TMainForm& form = Form();
    Click(form.F02b);
    TurnWheelTo(20);
    Click(form.F04b);
    EXPECT_EQ(form.Sh->Value(), 20);
    ExpectBands(OpenBands(-1, -1), "0.4 has no window at 20 and leaves the sliders");
    QTest::keyClick(form.Sh, Qt::Key_Left);
    EXPECT_EQ(form.Sh->Value(), 19);
    ExpectBands(OpenBands(18, 19), "0.4 at 19");
}

TEST_F(PresetWindowTest, VoicePresetIgnoresTheWheel)
{
    TMainForm& form = Form();
    Click(form.F02b);
    Click(form.F26b);
    EXPECT_TRUE(form.F26b->Down());
    EXPECT_FALSE(form.F02b->Down());
    EXPECT_EQ(form.Sh->MaxValue(), 20);
    ExpectBands(OpenBands(1, 12), "2.6: 200-2600 Hz");
    ExpectWheelActive(false);
    TurnWheelTo(9);
    ExpectBands(OpenBands(1, 12), "2.6 after turning the wheel");
}

TEST_F(PresetWindowTest, DefFlattensReleasesThePresetsAndKeepsTheMemory)
{
    TMainForm& form = Form();
    Click(form.F18b);
    Click(form.Button1);
    EXPECT_FALSE(form.F18b->Down());
    ExpectBands(OpenBands(0, 19), "flat");
    ExpectWheelActive(false);
    TurnWheelTo(2);
    ExpectBands(OpenBands(0, 19), "the wheel does nothing after Def");

    Click(form.MemoryButtons[2]);
    form.sl[3]->SetPosition(-12);
    Click(form.Button1);
    EXPECT_TRUE(form.MemoryButtons[2]->Down());
    EXPECT_TRUE(form.M->isEnabled());
    ExpectBands(OpenBands(0, 19), "flat after a memory");
}

TEST_F(PresetWindowTest, AtMostOneSelectionButtonIsDownAndOnStaysApart)
{
    TMainForm& form = Form();
    const std::vector<TSpeedButton*> group = {form.F02b,
                                              form.F04b,
                                              form.F18b,
                                              form.F26b,
                                              form.MemoryButtons[0],
                                              form.MemoryButtons[1],
                                              form.MemoryButtons[2],
                                              form.MemoryButtons[3]};
    Click(form.StartBtn);
    for (TSpeedButton* chosen : group)
    {
        Click(chosen);
        for (TSpeedButton* button : group)
            EXPECT_EQ(button->Down(), button == chosen) << chosen->objectName().toStdString();
        EXPECT_TRUE(form.StartBtn->Down());
    }
}

TEST_F(PresetWindowTest, SliderMovesReachTheirBandClamped)
{
    TMainForm& form = Form();
    form.sl[13]->setFocus();
    QTest::keyClick(form.sl[13], Qt::Key_Home);
    EXPECT_EQ(BandGains()[13], form.sl[13]->Position());
    form.sl[0]->SetPosition(100);
    EXPECT_EQ(BandGains()[0], 12);
    form.sl[0]->SetPosition(-100);
    EXPECT_EQ(BandGains()[0], -60);
    EXPECT_TRUE(ErrorBoxes.empty());
}

TEST_F(PresetWindowTest, ScrollWheelTurnsTheShiftWheelAStepPerNotch)
{
    TMainForm& form = Form();
    TurnWheelTo(4);
    Click(form.F18b);
    Scroll(form.Sh, 120);
    EXPECT_EQ(form.Sh->Value(), 5);
    ExpectBands(OpenBands(5, 13), "1.8 scrolled to 5");
    Scroll(form.Sh, -360);
    EXPECT_EQ(form.Sh->Value(), 2);
    ExpectBands(OpenBands(2, 10), "1.8 scrolled back three notches");
    // A fine wheel's parts of a notch add up to one step.
    Scroll(form.Sh, 40);
    Scroll(form.Sh, 40);
    EXPECT_EQ(form.Sh->Value(), 2);
    Scroll(form.Sh, 40);
    EXPECT_EQ(form.Sh->Value(), 3);
    ExpectBands(OpenBands(3, 11), "1.8 after three thirds of a notch");
    // Scrolling past the end stops at the wheel's maximum, where 1.8 leaves
    // the sliders as a turn there does.
    Scroll(form.Sh, 120 * 20);
    EXPECT_EQ(form.Sh->Value(), 12);
    ExpectBands(OpenBands(3, 11), "1.8 scrolled past its end");
}

TEST_F(PresetWindowTest, ScrollWheelMovesABandSliderAStepWithADragsEvents)
{
    TMainForm& form = Form();
    TMMSlider* slider = form.sl[5];
    int tracks = 0;
    int trackEnds = 0;
    slider->OnTrack = [&](TMMCustomSlider*) { ++tracks; };
    slider->OnTrackEnd = [&](TMMCustomSlider*) { ++trackEnds; };
    slider->SetPosition(0);

    // The drag of a user: the band follows through OnChange, OnTrack fires
    // with each move and OnTrackEnd at the release.
    const QPoint thumb = slider->ThumbRect().ToQRect().center();
    QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
    QMouseEvent move(QEvent::MouseMove, thumb - QPoint(8, 0), slider->mapToGlobal(thumb),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &move);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb - QPoint(8, 0));
    const int dragged = slider->Position();
    ASSERT_LT(dragged, 0);
    EXPECT_EQ(BandGains()[5], dragged);
    EXPECT_EQ(trackEnds, 1);

    // A notch: one step, and the same events.
    tracks = 0;
    trackEnds = 0;
    Scroll(slider, 120);
    EXPECT_EQ(slider->Position(), dragged + 1);
    EXPECT_EQ(BandGains()[5], dragged + 1);
    EXPECT_EQ(tracks, 1);
    EXPECT_EQ(trackEnds, 1);
    Scroll(slider, -240);
    EXPECT_EQ(slider->Position(), dragged - 1);
    EXPECT_EQ(BandGains()[5], dragged - 1);
    EXPECT_EQ(trackEnds, 2);

    // At the end of the range a notch changes nothing and fires nothing.
    slider->SetPosition(12);
    Scroll(slider, 120);
    EXPECT_EQ(slider->Position(), 12);
    EXPECT_EQ(BandGains()[5], 12);
    EXPECT_EQ(trackEnds, 2);
    slider->OnTrack = nullptr;
    slider->OnTrackEnd = nullptr;
}

} // namespace
} // namespace keb::test
