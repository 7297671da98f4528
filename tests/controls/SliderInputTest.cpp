#include "ControlPictures.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

// Counts the events of a slider.
struct TSliderEvents
{
    int Changes = 0;
    int Tracks = 0;
    int TrackEnds = 0;

    explicit TSliderEvents(TMMSlider& slider)
    {
        slider.OnChange = [this](TMMCustomSlider*) { ++Changes; };
        slider.OnTrack = [this](TMMCustomSlider*) { ++Tracks; };
        slider.OnTrackEnd = [this](TMMCustomSlider*) { ++TrackEnds; };
    }
};

// A mouse move with the left button held (QTest moves carry no buttons).
void DragTo(QWidget& widget, QPoint point)
{
    QMouseEvent move(QEvent::MouseMove, point, widget.mapToGlobal(point), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

TEST(SliderInput, PressOnTheGrooveJumpsThereButMovingDoesNotDrag)
{
    QWidget window;
    TMMSlider* slider = MakeProgramSlider(&window);
    window.show();
    TSliderEvents events(*slider);

    // x = 10: (10 - 2 - 2) / 68 x 72 - 60 = -53.6, away from the thumb at 59.
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(10, 6));
    EXPECT_EQ(slider->Position(), -54);
    EXPECT_EQ(events.Changes, 1);
    EXPECT_EQ(events.Tracks, 1);
    EXPECT_FALSE(slider->Dragging());
    EXPECT_TRUE(slider->hasFocus() || !window.isActiveWindow());

    DragTo(*slider, QPoint(40, 6));
    EXPECT_EQ(slider->Position(), -54);
    EXPECT_EQ(events.Changes, 1);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(40, 6));
    EXPECT_EQ(events.TrackEnds, 1);
}

TEST(SliderInput, PressOnTheThumbDragsIt)
{
    QWidget window;
    TMMSlider* slider = MakeProgramSlider(&window);
    window.show();
    TSliderEvents events(*slider);

    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(61, 6)); // the thumb's centre
    EXPECT_TRUE(slider->Dragging());
    EXPECT_EQ(slider->Position(), 0);
    EXPECT_EQ(events.Changes, 0);
    EXPECT_EQ(events.Tracks, 1);

    DragTo(*slider, QPoint(4, 6));
    EXPECT_EQ(slider->Position(), -60);
    DragTo(*slider, QPoint(3, 6)); // beyond the end: no further change
    EXPECT_EQ(events.Changes, 1);
    EXPECT_EQ(events.Tracks, 2);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(3, 6));
    EXPECT_FALSE(slider->Dragging());
    EXPECT_EQ(events.TrackEnds, 1);
}

TEST(SliderInput, KeysOfAHorizontalSlider)
{
    std::unique_ptr<TMMSlider> slider(MakeProgramSlider(nullptr));
    TSliderEvents events(*slider);

    QTest::keyClick(slider.get(), Qt::Key_Home);
    EXPECT_EQ(slider->Position(), -60);
    QTest::keyClick(slider.get(), Qt::Key_End);
    EXPECT_EQ(slider->Position(), 12);
    QTest::keyClick(slider.get(), Qt::Key_Right); // already at the top
    EXPECT_EQ(slider->Position(), 12);
    QTest::keyClick(slider.get(), Qt::Key_PageDown);
    EXPECT_EQ(slider->Position(), 7);
    QTest::keyClick(slider.get(), Qt::Key_Left);
    EXPECT_EQ(slider->Position(), 6);
    QTest::keyClick(slider.get(), Qt::Key_Up);
    EXPECT_EQ(slider->Position(), 7);
    QTest::keyClick(slider.get(), Qt::Key_PageUp);
    EXPECT_EQ(slider->Position(), 12);
    EXPECT_EQ(events.Changes, 6);
    EXPECT_EQ(events.Tracks, 6);
    // Each release after a key that moved the thumb ends the tracking once;
    // the refused Right key tracked nothing and ends nothing.
    EXPECT_EQ(events.TrackEnds, 6);
}

TEST(SliderInput, HomeAndEndOfAVerticalSlider)
{
    QWidget window;
    auto* slider = new TMMSlider(&window);
    slider->SetBounds(0, 0, 40, 200);
    window.show();
    ASSERT_EQ(slider->Orientation(), TMMOrientation::orVertical);
    slider->SetPosition(5);
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(slider->Position(), 10);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(slider->Position(), 0);
    QTest::keyClick(slider, Qt::Key_Up);
    EXPECT_EQ(slider->Position(), 1);
}

TEST(SliderInput, FocusShowsARectangleAndTheBlinkingThumb)
{
    QWidget window;
    TMMSlider* slider = MakeProgramSlider(&window);
    ASSERT_TRUE(ShowActive(window));
    const auto [unfocused, focused] = GrabWithoutAndWithFocus(*slider);
    ASSERT_TRUE(slider->Focused());
    // The dotted rectangle lies in the flat border, one pixel outside the track.
    EXPECT_NE(PixelAt(focused, 1, 1), PixelAt(unfocused, 1, 1));
    EXPECT_EQ(PixelAt(focused, 2, 1), PixelAt(unfocused, 2, 1));
    EXPECT_EQ(PixelAt(focused, 0, 0), PixelAt(unfocused, 0, 0));

    slider->SetFocusAction(TMMFocusAction::faAll);
    EXPECT_FALSE(slider->BlinkOn());
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider->BlinkOn(); }, 2000));
    EXPECT_TRUE(IsColor(Grab(*slider), 61, 3, clBlack));
    EXPECT_TRUE(IsColor(Grab(*slider), 40, 6, clActiveCaption)); // focus colour in the groove
    slider->clearFocus();
    EXPECT_FALSE(slider->BlinkOn());
}

TEST(SliderInput, HandCursorOverTheThumb)
{
    QWidget window;
    TMMSlider* slider = MakeProgramSlider(&window);
    window.show();
    slider->SetHandCursor(true);
    QTest::mouseMove(slider, QPoint(61, 6));
    EXPECT_EQ(slider->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(slider, QPoint(20, 6));
    EXPECT_EQ(slider->cursor().shape(), Qt::ArrowCursor);
}

TEST(SliderInput, TheBlinkTimerMovesWithTheFocusAndDiesWithItsSlider)
{
    QWidget window;
    TMMSlider* first = MakeProgramSlider(&window);
    TMMSlider* second = MakeProgramSlider(&window);
    second->SetTop(20);
    first->SetFocusAction(TMMFocusAction::faFocusThumb);
    second->SetFocusAction(TMMFocusAction::faFocusThumb);
    ASSERT_TRUE(ShowActive(window));
    first->SetFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->BlinkOn(); }, 2000));
    second->SetFocus();
    EXPECT_FALSE(first->BlinkOn());
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->BlinkOn(); }, 2000));
    delete second; // a later tick must not reach the freed slider
    QTest::qWait(600);
    EXPECT_FALSE(first->BlinkOn());
}

} // namespace
} // namespace keb::test
