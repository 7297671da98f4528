#include "ControlPictures.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

// True when every pixel of rect in image has color.
bool FilledWith(const QImage& image, const TRect& rect, TColor color)
{
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x)
            if (!IsColor(image, x, y, color))
                return false;
    return true;
}

TEST(LED, NewLEDIsLitLimeInsideALoweredOnePixelBevel)
{
    TMMLED led;
    EXPECT_EQ(led.Width(), 16);
    EXPECT_EQ(led.Height(), 8);
    EXPECT_TRUE(led.Enabled());
    EXPECT_EQ(led.Color(), clGreen);
    EXPECT_EQ(led.LEDColor(), clLime);
    EXPECT_EQ(led.LEDRect(), (TRect{1, 1, 15, 7}));

    const QImage image = Grab(led);
    EXPECT_TRUE(FilledWith(image, {1, 1, 15, 7}, clLime));
    EXPECT_TRUE(FilledWith(image, {0, 0, 15, 1}, clBtnShadow));
    EXPECT_TRUE(FilledWith(image, {0, 0, 1, 7}, clBtnShadow));
    EXPECT_TRUE(FilledWith(image, {15, 0, 16, 8}, clBtnHighlight));
    EXPECT_TRUE(FilledWith(image, {0, 7, 16, 8}, clBtnHighlight));
}

TEST(LED, DarkLEDShowsColorAndIgnoresLEDColorUntilLit)
{
    QWidget window;
    auto* led = new TMMLED(&window);
    window.show();
    led->SetEnabled(false);
    EXPECT_TRUE(led->isEnabled()); // the lamp's state does not disable the control
    EXPECT_TRUE(FilledWith(Grab(*led), led->LEDRect(), clGreen));

    led->SetLEDColor(clRed);
    EXPECT_TRUE(FilledWith(Grab(*led), led->LEDRect(), clGreen));
    led->SetEnabled(true);
    EXPECT_TRUE(FilledWith(Grab(*led), led->LEDRect(), clRed));
}

TEST(LED, LampFollowsTheBevelAndTheSize)
{
    TMMLED led;
    led.Bevel().SetBevelOuterWidth(2);
    EXPECT_EQ(led.LEDRect(), (TRect{2, 2, 14, 6}));
    led.SetBounds(0, 0, 22, 11);
    EXPECT_EQ(led.LEDRect(), (TRect{2, 2, 20, 9}));
    const QImage image = Grab(led);
    EXPECT_TRUE(FilledWith(image, {2, 2, 20, 9}, clLime));
    EXPECT_TRUE(IsColor(image, 1, 1, clBtnShadow));
}

} // namespace
} // namespace keb::test
