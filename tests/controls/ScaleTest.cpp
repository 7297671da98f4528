#include "ControlPictures.h"
#include "controls/MMScale.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

TEST(Scale, SettersClampAndNotifyChanges)
{
    TMMScale scale;
    int changes = 0;
    scale.OnChange = [&](TMMObject*) { ++changes; };
    scale.SetTickCount(1);
    scale.SetEnlargeEvery(0);
    scale.SetSize(0);
    EXPECT_EQ(scale.TickCount(), 2);
    EXPECT_EQ(scale.EnlargeEvery(), 1);
    EXPECT_EQ(scale.Size(), 1);
    EXPECT_EQ(changes, 3);
    scale.SetSize(1);
    EXPECT_EQ(changes, 3);
    scale.SetVisible(false); // hidden scales still notify
    EXPECT_EQ(changes, 4);
}

TEST(Scale, ExtentGrowsWithConnectAndThreeDimensionalStyle)
{
    TMMScale scale;
    EXPECT_EQ(scale.ScaleExtent(), 7);
    scale.SetConnect(true);
    EXPECT_EQ(scale.ScaleExtent(), 8);
    scale.SetStyle(TMMScaleStyle::stLowered);
    EXPECT_EQ(scale.ScaleExtent(), 9);
}

TEST(Scale, AssignCopiesAndNotifiesOnce)
{
    TMMScale source;
    source.SetTickCount(5);
    source.SetOrigin(TMMScaleOrigin::soOuter);
    source.SetColor(clRed);
    TMMScale target;
    int changes = 0;
    target.OnChange = [&](TMMObject*) { ++changes; };
    target.Assign(source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(target.TickCount(), 5);
    EXPECT_EQ(target.Origin(), TMMScaleOrigin::soOuter);
    EXPECT_EQ(target.Color(), clRed);
}

TEST(Scale, DrawingWithoutCanvasRaises)
{
    TMMScale scale;
    try
    {
        scale.DrawLinear({0, 0, 50, 7}, true);
        FAIL() << "no exception";
    }
    catch (const EMMScaleError& error)
    {
        EXPECT_STREQ(error.what(), "Canvas needed for this operation");
    }
    EXPECT_THROW(scale.DrawCircular({0, 0, 50, 50}), EMMScaleError);
}

// Draws with scale on a white w x h bitmap.
template <typename Draw> QImage DrawOnWhite(TMMScale& scale, int w, int h, Draw draw)
{
    TBitmap bitmap(w, h);
    bitmap.Image().fill(Qt::white);
    {
        TCanvas canvas(bitmap);
        scale.SetCanvas(&canvas);
        draw();
        scale.SetCanvas(nullptr);
    }
    return bitmap.Image();
}

// Rows y in [top, bottom) of column x that are black.
int BlackRun(const QImage& image, int x, int top, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        count += IsColor(image, x, y, clBlack) ? 1 : 0;
    return count;
}

TEST(Scale, LinearTicksHangFromTheAnchoredEdge)
{
    TMMScale scale; // 11 ticks, every fifth long (7), short 3
    const QImage image = DrawOnWhite(scale, 60, 10, [&] { scale.DrawLinear({0, 0, 50, 7}, true); });
    // soInner and facing: anchored at the bottom row, growing upwards.
    EXPECT_EQ(BlackRun(image, 0, 0, 7), 7);
    EXPECT_EQ(BlackRun(image, 5, 0, 7), 3);
    EXPECT_TRUE(IsColor(image, 5, 6, clBlack));
    EXPECT_TRUE(IsColor(image, 5, 3, clWhite));
    EXPECT_EQ(BlackRun(image, 25, 0, 7), 7);
    EXPECT_EQ(BlackRun(image, 3, 0, 10), 0);

    TMMScale outer;
    outer.SetOrigin(TMMScaleOrigin::soOuter);
    outer.SetConnect(true);
    const QImage top = DrawOnWhite(outer, 60, 10, [&] { outer.DrawLinear({0, 0, 50, 8}, true); });
    // Anchored at the top row, joined by a line from the first to the last tick.
    EXPECT_TRUE(IsColor(top, 5, 0, clBlack));
    EXPECT_TRUE(IsColor(top, 5, 2, clBlack));
    EXPECT_TRUE(IsColor(top, 5, 3, clWhite));
    EXPECT_TRUE(IsColor(top, 3, 0, clBlack));
    EXPECT_TRUE(IsColor(top, 3, 1, clWhite));
}

TEST(Scale, CircularTicksOfTheWheelEveryTwentySevenDegrees)
{
    TMMScale scale;
    scale.SetAngles(225, 315);
    const QImage image = DrawOnWhite(scale, 52, 52, [&] { scale.DrawCircular({0, 0, 52, 52}); });
    // Centre (26, 26), R = 26: the long tick at 90 degrees runs from radius 19
    // up to (not including) radius 26.
    EXPECT_EQ(BlackRun(image, 26, 0, 26), 7);
    EXPECT_TRUE(IsColor(image, 26, 1, clBlack));
    EXPECT_TRUE(IsColor(image, 26, 7, clBlack));
    EXPECT_TRUE(IsColor(image, 26, 0, clWhite));
    // Nothing in the dead zone straight below the centre.
    EXPECT_EQ(BlackRun(image, 26, 27, 52), 0);
    // A short tick anchored inside: tick 4 at 225 - 108 = 117 degrees.
    EXPECT_TRUE(IsColor(image, 26 - 9, 26 - 17, clBlack));  // radius 19
    EXPECT_TRUE(IsColor(image, 26 - 11, 26 - 22, clWhite)); // radius 24.5: beyond the short tick
}

} // namespace
} // namespace keb::test
