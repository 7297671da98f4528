#include "ControlPictures.h"
#include "controls/BitmapCache.h"

#include <gtest/gtest.h>
#include <memory>

namespace keb::test
{
namespace
{

// The first column of row y, from the left, whose pixel is black.
int FirstBlackColumn(const QImage& image, int y)
{
    for (int x = 0; x < image.width(); ++x)
        if (IsColor(image, x, y, clBlack))
            return x;
    return -1;
}

TEST(Slider, DefaultsOfANewSlider)
{
    TMMSlider slider;
    EXPECT_EQ(slider.Width(), 200);
    EXPECT_EQ(slider.Height(), 40);
    EXPECT_TRUE(slider.TabStop());
    EXPECT_EQ(slider.Bevel().BorderWidth(), 5);
    EXPECT_EQ(slider.Groove().BevelOuter(), TPanelBevel::bvLowered);
    EXPECT_FALSE(slider.Scale().Visible());
    EXPECT_EQ(slider.Scale().Origin(), TMMScaleOrigin::soOuter);
    EXPECT_TRUE(slider.Scale().Connect());
    EXPECT_EQ(slider.MinValue(), 0);
    EXPECT_EQ(slider.MaxValue(), 10);
    EXPECT_EQ(slider.Orientation(), TMMOrientation::orHorizontal);
    EXPECT_EQ(slider.FocusAction(), TMMFocusAction::faFocusRect);
}

TEST(Slider, ProgramSliderPutsValueZeroFiftySevenPixelsAlongTheTrack)
{
    std::unique_ptr<TMMSlider> slider(MakeProgramSlider(nullptr));
    EXPECT_EQ(slider->BevelExtent(), 2);
    // Track 77 - 2 x 2 = 73 pixels, thumb 5: T = 68; 68 / 72 x 60 = 56.7.
    EXPECT_EQ(slider->ThumbRect(), (TRect{2 + 57, 1, 2 + 57 + 5, 12}));

    const QImage image = Grab(*slider);
    EXPECT_EQ(FirstBlackColumn(image, 3) - 2, 57);
    // The thumb: black frame, raised one-pixel bevel inside with the light
    // corners top-right and bottom-left, face in ThumbColor.
    EXPECT_TRUE(IsColor(image, 59, 1, clBlack));
    EXPECT_TRUE(IsColor(image, 63, 11, clBlack));
    EXPECT_TRUE(IsColor(image, 60, 2, clBtnHighlight));
    EXPECT_TRUE(IsColor(image, 62, 2, clBtnHighlight));
    EXPECT_TRUE(IsColor(image, 60, 10, clBtnHighlight));
    EXPECT_TRUE(IsColor(image, 62, 10, clBtnShadow));
    EXPECT_TRUE(IsColor(image, 61, 5, clBtnFace));
    // The groove: three rows centred on the track, lowered, across its length.
    EXPECT_TRUE(IsColor(image, 2, 5, clBtnShadow));
    EXPECT_TRUE(IsColor(image, 40, 5, clBtnShadow));
    EXPECT_TRUE(IsColor(image, 40, 6, clBtnFace));
    EXPECT_TRUE(IsColor(image, 40, 7, clBtnHighlight));
    EXPECT_TRUE(IsColor(image, 74, 6, clBtnHighlight));
    EXPECT_TRUE(IsColor(image, 40, 4, WindowColor));

    slider->SetPosition(-60);
    EXPECT_EQ(slider->ThumbRect().Left, 2);
    slider->SetPosition(12);
    EXPECT_EQ(slider->ThumbRect().Right, 75);
}

TEST(Slider, PositionWritesClampAndNotifyOnlyRealChanges)
{
    TMMSlider slider;
    slider.SetRange(-60, 12);
    int changes = 0;
    slider.OnChange = [&](TMMCustomSlider*) { ++changes; };
    slider.SetPosition(0);
    EXPECT_EQ(changes, 0);
    slider.SetPosition(100);
    EXPECT_EQ(slider.Position(), 12);
    EXPECT_EQ(changes, 1);
    slider.SetPosition(50); // clamps to the same value
    EXPECT_EQ(changes, 1);
    slider.SetPosition(-100);
    EXPECT_EQ(slider.Position(), -60);
    EXPECT_EQ(changes, 2);
}

TEST(Slider, RangeKeepsMaxAboveMinAndPullsThePositionIn)
{
    TMMSlider slider;
    slider.SetRange(0, 100);
    slider.SetPosition(80);
    slider.SetMaxValue(0);
    EXPECT_EQ(slider.MaxValue(), 1);
    EXPECT_EQ(slider.Position(), 1);
    slider.SetMinValue(5);
    EXPECT_EQ(slider.MinValue(), 5);
    EXPECT_EQ(slider.MaxValue(), 6);
    EXPECT_EQ(slider.Position(), 5);
}

TEST(Slider, LoadingStoresWithoutEventsUntilLoaded)
{
    TMMSlider slider;
    int changes = 0;
    slider.OnChange = [&](TMMCustomSlider*) { ++changes; };
    slider.BeginLoading();
    slider.SetMinValue(-60);
    slider.SetMaxValue(-60); // not forced apart while loading
    EXPECT_EQ(slider.MaxValue(), -60);
    slider.SetMaxValue(12);
    slider.SetPosition(-6);
    slider.SetBounds(0, 0, 77, 12);
    slider.Loaded();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(slider.Position(), -6);
    EXPECT_TRUE(IsColor(Grab(slider), 0, 0, clBtnShadow)); // painted after loading
}

TEST(Slider, TallerThanWideTurnsVerticalWithMinimumAtTheBottom)
{
    TMMSlider slider;
    slider.SetBounds(0, 0, 40, 200);
    Grab(slider); // delivers the resize
    EXPECT_EQ(slider.Orientation(), TMMOrientation::orVertical);
    slider.SetThumbWidth(23);
    slider.SetThumbHeight(11);
    slider.SetPosition(0);
    // Inside the default frame of 1 + 5 pixels.
    EXPECT_EQ(slider.ThumbRect().Bottom, 200 - 6);
    slider.SetPosition(10);
    EXPECT_EQ(slider.ThumbRect().Top, 6);
    EXPECT_EQ(slider.PositionFromPoint(20, 6 + 5), 10);
    EXPECT_EQ(slider.PositionFromPoint(20, 194), 0);
}

TEST(Slider, LogarithmicMappingFillsTheTrackWithTheTopDecibels)
{
    TMMSlider slider;
    slider.SetRange(0, 100);
    slider.SetLogarithmic(true);
    EXPECT_EQ(slider.Sensitivity(), -24);
    slider.SetPosition(100);
    EXPECT_EQ(slider.RawPosition(), 100);
    slider.SetPosition(50); // -6 dB of 24: three quarters along
    EXPECT_EQ(slider.RawPosition(), 75);
    EXPECT_NEAR(slider.Position(), 50, 1);
    slider.SetPosition(1); // -40 dB lies below the track
    EXPECT_EQ(slider.RawPosition(), 0);
    slider.SetPosition(-5); // no logarithm of a negative value: clamped
    EXPECT_EQ(slider.RawPosition(), 0);
    slider.SetSensitivity(-200);
    EXPECT_EQ(slider.Sensitivity(), -96);
    slider.SetSensitivity(0);
    EXPECT_EQ(slider.Sensitivity(), -20);
}

TEST(Slider, SlidersOfOneSizeShareOneBitmap)
{
    ASSERT_TRUE(TBitmapCache::IsEmpty());
    {
        std::vector<std::unique_ptr<TMMSlider>> sliders;
        for (int i = 0; i < 20; ++i)
            sliders.emplace_back(MakeProgramSlider(nullptr));
        // The default size was released when each slider took its own.
        EXPECT_EQ(TBitmapCache::Count(), 1);
        sliders.emplace_back(new TMMSlider);
        EXPECT_EQ(TBitmapCache::Count(), 2);
        sliders.back()->SetBounds(0, 0, 77, 12);
        EXPECT_EQ(TBitmapCache::Count(), 1);
    }
    EXPECT_TRUE(TBitmapCache::IsEmpty());
}

TEST(Slider, DisabledThumbIsDottedWithDisabledColor)
{
    std::unique_ptr<TMMSlider> slider(MakeProgramSlider(nullptr));
    slider->SetDisabledColor(clRed);
    slider->SetEnabled(false);
    const QImage image = Grab(*slider);
    // The face of the thumb at (59, 1, 64, 12) is (61, 3, 62, 10).
    EXPECT_TRUE(IsColor(image, 61, 3, clRed));
    EXPECT_TRUE(IsColor(image, 61, 4, clBtnFace));
    EXPECT_TRUE(IsColor(image, 61, 5, clRed));
}

TEST(Slider, VisibleScaleSitsBeforeTheGrooveAndTheThumbAgainstTheOtherSide)
{
    TMMSlider slider;
    slider.SetBounds(0, 0, 200, 40);
    slider.Scale().SetVisible(true);
    slider.SetScalePosition(TMMScalePos::spAboveOrLeft);
    // Thumb at the bottom of the track (6 .. 34), groove on its centre line.
    EXPECT_EQ(slider.ThumbRect().Bottom, 34);
    const QImage image = Grab(slider);
    SavePicture(image, "slider-scale");
    // First tick at the thumb's centre at the low end, x = 6 + 11 / 2 = 11.
    int ticks = 0;
    for (int y = 0; y < slider.ThumbRect().Top; ++y)
        ticks += IsColor(image, 11, y, clBlack) ? 1 : 0;
    EXPECT_EQ(ticks, 7);
}

} // namespace
} // namespace keb::test

namespace keb::test
{
namespace
{

TEST(Slider, PicturesAtTheEndsShortenTheTrack)
{
    TMMSlider slider;
    slider.SetBounds(0, 0, 200, 40);
    TBitmap picture(10, 8);
    picture.Image().fill(Qt::blue);
    picture.Image().setPixel(0, 7, qRgb(255, 255, 255)); // transparent corner
    slider.SetPicLeft(picture);
    slider.SetPicRight(picture);
    slider.SetPosition(0);
    EXPECT_EQ(slider.ThumbRect().Left, 6 + 10);
    slider.SetPosition(10);
    EXPECT_EQ(slider.ThumbRect().Right, 194 - 10);
    const QImage image = Grab(slider);
    // Centred across the track (6 .. 34): rows 16 .. 23.
    EXPECT_TRUE(IsColor(image, 6, 16, clBlue));
    EXPECT_TRUE(IsColor(image, 6, 23, clBtnFace)); // the transparent pixel
    EXPECT_TRUE(IsColor(image, 193, 20, clBlue));
}

TEST(Slider, OwnerDrawnThumbAndGrooveGetTheirRectangles)
{
    std::unique_ptr<TMMSlider> slider(MakeProgramSlider(nullptr));
    slider->SetThumbStyle(TMMThumbStyle::tsOwnerDraw);
    slider->SetGrooveStyle(TMMGrooveStyle::gsOwnerDraw);
    TRect thumb;
    TRect groove;
    slider->OnDrawThumb =
        [&](TMMCustomSlider*, TCanvas& canvas, const TRect& rect, bool blink, bool dragging)
    {
        thumb = rect;
        EXPECT_FALSE(blink);
        EXPECT_FALSE(dragging);
        canvas.FillRect(rect, clRed);
    };
    slider->OnDrawGroove = [&](TMMCustomSlider*, TCanvas&, const TRect& rect) { groove = rect; };
    const QImage image = Grab(*slider);
    EXPECT_EQ(thumb, (TRect{59, 1, 64, 12}));
    EXPECT_EQ(groove, (TRect{2, 6, 75, 7})); // the groove inside its frame
    EXPECT_TRUE(IsColor(image, 61, 6, clRed));
}

TEST(Slider, TrackNoLongerThanTheThumbPinsTheValueToTheMinimum)
{
    TMMSlider slider;
    slider.SetBounds(0, 0, 22, 40); // inner width 10, thumb 11
    slider.SetPosition(10);
    EXPECT_EQ(slider.PositionFromPoint(15, 20), 0);
    EXPECT_EQ(slider.ThumbRect().Left, 6);
    Grab(slider);
}

} // namespace
} // namespace keb::test
