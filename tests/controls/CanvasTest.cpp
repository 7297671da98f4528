#include "platform/gui/Canvas.h"

#include "ControlPictures.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

QImage White(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

TEST(Canvas, SystemColoursHaveTheirFixedClassicValues)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0u);
    EXPECT_EQ(ColorToRGB(clBtnShadow), 0x808080u);
    EXPECT_EQ(ColorToRGB(clBtnHighlight), 0xFFFFFFu);
    EXPECT_EQ(ColorToRGB(clWindowFrame), 0x000000u);
    EXPECT_EQ(ColorToRGB(clLime), 65280u);
    EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(FromQRgb(qRgb(1, 2, 3)), 0x030201u);
}

TEST(Canvas, LinesLeaveOutTheirEndPoint)
{
    QImage image = White(10, 10);
    {
        TCanvas canvas(image);
        canvas.MoveTo(1, 1);
        canvas.LineTo(6, 1);
        canvas.LineTo(6, 4);
    }
    for (int x = 1; x <= 6; ++x)
        EXPECT_TRUE(IsColor(image, x, 1, clBlack)) << x;
    EXPECT_TRUE(IsColor(image, 6, 3, clBlack));
    EXPECT_TRUE(IsColor(image, 6, 4, clWhite));
    EXPECT_TRUE(IsColor(image, 7, 1, clWhite));
}

TEST(Canvas, SmallEllipsesAreRound)
{
    QImage image = White(6, 6);
    {
        TCanvas canvas(image);
        canvas.SetPenColor(clRed);
        canvas.SetBrushColor(clBlue);
        canvas.Ellipse(1, 1, 5, 5);
    }
    EXPECT_TRUE(IsColor(image, 1, 1, clWhite)); // corners cut
    EXPECT_TRUE(IsColor(image, 4, 4, clWhite));
    EXPECT_TRUE(IsColor(image, 2, 1, clRed));
    EXPECT_TRUE(IsColor(image, 1, 2, clRed));
    EXPECT_TRUE(IsColor(image, 2, 2, clBlue));
    EXPECT_TRUE(IsColor(image, 5, 2, clWhite)); // the box excludes its right edge
}

TEST(Canvas, TransparentColourIsTheBottomLeftPixel)
{
    TBitmap picture(2, 2);
    picture.Image().fill(Qt::green);
    picture.Image().setPixel(1, 0, qRgb(255, 0, 0));
    EXPECT_EQ(picture.TransparentColor(), clLime);
    QImage image = White(4, 4);
    {
        TCanvas canvas(image);
        canvas.DrawTransparent({0, 0, 4, 4}, picture); // stretched twice
    }
    EXPECT_TRUE(IsColor(image, 0, 0, clWhite));
    EXPECT_TRUE(IsColor(image, 2, 1, clRed));
    EXPECT_TRUE(IsColor(image, 3, 3, clWhite));
}

TEST(Canvas, FocusRectangleDrawnTwiceRestoresThePicture)
{
    QImage image = White(8, 6);
    const QImage before = image.copy();
    {
        TCanvas canvas(image);
        canvas.DrawFocusRect({0, 0, 8, 6});
    }
    EXPECT_TRUE(IsColor(image, 0, 0, clBlack));
    EXPECT_TRUE(IsColor(image, 1, 0, clWhite));
    EXPECT_TRUE(IsColor(image, 3, 3, clWhite)); // inside untouched
    {
        TCanvas canvas(image);
        canvas.DrawFocusRect({0, 0, 8, 6});
    }
    EXPECT_EQ(image, before);
}

} // namespace
} // namespace keb::test
