#include "ControlPictures.h"

#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace keb::test
{
namespace
{

TEST(Wheel, ProgramWheelIsSixtyPixelsWithItsHandleAt171Degrees)
{
    std::unique_ptr<TMMWheel> wheel(MakeProgramWheel(nullptr));
    EXPECT_EQ(wheel->BevelExtent(), 0);
    EXPECT_EQ(wheel->Width(), 60);
    EXPECT_EQ(wheel->Height(), 60);
    EXPECT_EQ(wheel->HandleAngle(), 171);
    // cos 171 x 12 = -11.85, sin 171 x 12 = 1.88 around (30, 30).
    EXPECT_EQ(wheel->HandlePoint(), (TPoint{18, 28}));

    const QImage image = Grab(*wheel);
    EXPECT_TRUE(IsColor(image, 18, 28, TColor(128)));
    EXPECT_TRUE(IsColor(image, 17, 27, TColor(128)));
    EXPECT_FALSE(IsColor(image, 42, 28, TColor(128))); // the mirror image at 9 degrees
    // The long tick at the top: from radius 19 towards the scale's rim at 26.
    for (int y = 5; y <= 11; ++y)
        EXPECT_TRUE(IsColor(image, 30, y, clBlack)) << y;
    EXPECT_FALSE(IsColor(image, 30, 4, clBlack));
    // The corners show the background, the centre the knob.
    EXPECT_TRUE(IsColor(image, 0, 59, wheel->Color()));
    EXPECT_FALSE(IsColor(image, 30, 30, wheel->Color()));
}

TEST(Wheel, DefaultRangeRunsClockwiseFrom225Over90To315)
{
    TMMWheel wheel;
    EXPECT_EQ(wheel.Width(), 60); // AutoSize overrides the constructor's 100
    EXPECT_EQ(wheel.HandleAngle(), 225);
    wheel.SetValue(10);
    EXPECT_EQ(wheel.HandleAngle(), 315);
    wheel.SetValue(5);
    EXPECT_EQ(wheel.HandleAngle(), 90);
    // Automatic radius: 60 / 2 - margin 4 - frame space 4 - scale 7 - margin 3.
    EXPECT_EQ(wheel.Radius(), 12);
}

TEST(Wheel, AutoSizeKeepsTheSizeOfPictureFrameAndScale)
{
    TMMWheel wheel;
    wheel.SetWidth(200);
    EXPECT_EQ(wheel.Width(), 60);
    wheel.Scale().SetVisible(false);
    EXPECT_EQ(wheel.Width(), 40);
    wheel.Bevel().SetBorderWidth(2);
    EXPECT_EQ(wheel.Width(), 44);
    wheel.SetFrameSpace(0);
    EXPECT_EQ(wheel.Height(), 36);
    wheel.SetAutoSize(false);
    wheel.SetBounds(0, 0, 100, 80);
    EXPECT_EQ(wheel.Width(), 100);
    EXPECT_EQ(wheel.Height(), 80);
}

TEST(Wheel, ValueOutsideANarrowedRangeAndATinyWheelStayDrawable)
{
    TMMWheel wheel;
    wheel.SetMaxValue(100);
    wheel.SetValue(100);
    wheel.SetMaxValue(1); // 100 times the span: 225 - 27000 degrees
    EXPECT_EQ(wheel.HandleAngle(), (225 - 27000) % 360 + 360);
    wheel.SetAutoSize(false);
    wheel.SetBounds(0, 0, 20, 20);
    EXPECT_EQ(wheel.Radius(), 0);
    EXPECT_EQ(wheel.HandlePoint(), (TPoint{10, 10}));
}

TEST(Wheel, StepsBelowOneRaise)
{
    TMMWheel wheel;
    try
    {
        wheel.SetLineStep(0);
        FAIL() << "no exception";
    }
    catch (const EMMWheelError& error)
    {
        EXPECT_STREQ(error.what(), "This parameter should be greater then 0");
    }
    EXPECT_THROW(wheel.SetPageStep(-1), EMMWheelError);
    EXPECT_THROW(wheel.SetScrollSize(0), EMMWheelError);
    EXPECT_EQ(wheel.LineStep(), 1);
    EXPECT_EQ(wheel.PageStep(), 2);
    EXPECT_EQ(wheel.ScrollSize(), 160);
}

TEST(Wheel, ValueClampsAndNotifiesOnlyRealChanges)
{
    std::unique_ptr<TMMWheel> wheel(MakeProgramWheel(nullptr));
    int changes = 0;
    wheel->OnChange = [&](TMMCustomWheel*) { ++changes; };
    wheel->SetValue(4);
    EXPECT_EQ(changes, 0);
    wheel->SetValue(99);
    EXPECT_EQ(wheel->Value(), 20);
    wheel->SetValue(25);
    EXPECT_EQ(changes, 1);
    wheel->SetMaxValue(10); // the value is not pulled into a new range
    EXPECT_EQ(wheel->Value(), 20);
}

TEST(Wheel, ClicksPickTheValueByDirectionAndSnapOutOfTheDeadZone)
{
    QWidget window;
    TMMWheel* wheel = MakeProgramWheel(&window);
    window.show();
    int changes = 0;
    wheel->OnChange = [&](TMMCustomWheel*) { ++changes; };

    QTest::mouseClick(wheel, Qt::LeftButton, {}, QPoint(30, 55)); // straight below: 270
    EXPECT_EQ(wheel->Value(), 20);
    EXPECT_EQ(changes, 1); // press and release at one place: one change
    QTest::mouseClick(wheel, Qt::LeftButton, {}, QPoint(31, 56)); // 272: past the middle
    EXPECT_EQ(wheel->Value(), 20);
    QTest::mouseClick(wheel, Qt::LeftButton, {}, QPoint(10, 51)); // 226: near the start
    EXPECT_EQ(wheel->Value(), 0);
    QTest::mouseClick(wheel, Qt::LeftButton, {}, QPoint(30, 5)); // top: half the range
    EXPECT_EQ(wheel->Value(), 10);
    QTest::mouseClick(wheel, Qt::LeftButton, {}, QPoint(30, 30)); // the centre: nothing
    EXPECT_EQ(wheel->Value(), 10);
    QTest::mouseClick(wheel, Qt::RightButton, {}, QPoint(55, 30));
    EXPECT_EQ(wheel->Value(), 10);
    EXPECT_EQ(changes, 3);
}

TEST(Wheel, DraggingAroundTheCentreOrUpAndDown)
{
    QWidget window;
    TMMWheel* wheel = MakeProgramWheel(&window);
    window.show();
    QTest::mousePress(wheel, Qt::LeftButton, {}, QPoint(5, 30)); // 180 degrees
    EXPECT_EQ(wheel->Value(), 3);
    QMouseEvent move(QEvent::MouseMove, QPointF(55, 30), wheel->mapToGlobal(QPointF(55, 30)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(wheel, &move); // 0 degrees: 225 / 270 x 20
    EXPECT_EQ(wheel->Value(), 16);
    QTest::mouseRelease(wheel, Qt::LeftButton, {}, QPoint(55, 30));

    wheel->SetUpDown(true);
    QTest::mousePress(wheel, Qt::LeftButton, {}, QPoint(30, 100));
    EXPECT_EQ(wheel->Value(), 16);
    QMouseEvent up(QEvent::MouseMove, QPointF(30, 60), wheel->mapToGlobal(QPointF(30, 60)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(wheel, &up); // 40 of 160 pixels: a quarter of 20
    EXPECT_EQ(wheel->Value(), 20);
    QMouseEvent down(QEvent::MouseMove, QPointF(30, 140), wheel->mapToGlobal(QPointF(30, 140)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(wheel, &down);
    EXPECT_EQ(wheel->Value(), 11);
    QTest::mouseRelease(wheel, Qt::LeftButton, {}, QPoint(30, 140));
    EXPECT_EQ(wheel->Value(), 11);
}

TEST(Wheel, KeysStepPageAndJumpToTheEnds)
{
    std::unique_ptr<TMMWheel> wheel(MakeProgramWheel(nullptr));
    int changes = 0;
    wheel->OnChange = [&](TMMCustomWheel*) { ++changes; };
    QTest::keyClick(wheel.get(), Qt::Key_PageUp);
    EXPECT_EQ(wheel->Value(), 6);
    QTest::keyClick(wheel.get(), Qt::Key_PageDown);
    EXPECT_EQ(wheel->Value(), 4);
    QTest::keyClick(wheel.get(), Qt::Key_Up);
    QTest::keyClick(wheel.get(), Qt::Key_Right);
    EXPECT_EQ(wheel->Value(), 6);
    QTest::keyClick(wheel.get(), Qt::Key_Down);
    QTest::keyClick(wheel.get(), Qt::Key_Left);
    EXPECT_EQ(wheel->Value(), 4);
    QTest::keyClick(wheel.get(), Qt::Key_Home);
    EXPECT_EQ(wheel->Value(), 20);
    QTest::keyClick(wheel.get(), Qt::Key_PageUp); // clamped: no change
    QTest::keyClick(wheel.get(), Qt::Key_End);
    EXPECT_EQ(wheel->Value(), 0);
    QTest::keyClick(wheel.get(), Qt::Key_Down);
    EXPECT_EQ(changes, 8);
}

TEST(Wheel, OwnerDrawnHandleGetsThePoint)
{
    std::unique_ptr<TMMWheel> wheel(MakeProgramWheel(nullptr));
    wheel->SetHandleStyle(TMMHandleStyle::hsOwnerDraw);
    TPoint point;
    wheel->OnDrawHandle =
        [&](TMMCustomWheel*, TCanvas&, const TRect& client, TPoint handle, bool focused)
    {
        point = handle;
        EXPECT_EQ(client, (TRect{0, 0, 60, 60}));
        EXPECT_FALSE(focused);
    };
    const QImage image = Grab(*wheel);
    EXPECT_EQ(point, (TPoint{18, 28}));
    EXPECT_FALSE(IsColor(image, 18, 28, TColor(128)));
}

TEST(Wheel, FocusColoursTheHandleAndFramesTheScale)
{
    QWidget window;
    TMMWheel* wheel = MakeProgramWheel(&window);
    ASSERT_TRUE(ShowActive(window));
    const auto [unfocused, focused] = GrabWithoutAndWithFocus(*wheel);
    ASSERT_TRUE(wheel->Focused());
    EXPECT_TRUE(IsColor(focused, 18, 28, TColor(255)));
    // The focus rectangle at FrameSpace - 2 = 2 pixels from the edge.
    EXPECT_NE(PixelAt(focused, 2, 2), PixelAt(unfocused, 2, 2));
    EXPECT_EQ(PixelAt(focused, 1, 1), PixelAt(unfocused, 1, 1));
}

} // namespace
} // namespace keb::test
