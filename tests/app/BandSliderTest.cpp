// The window's own band sliders as it sets them up: a plain frame of two
// pixels, a 5 x 11 thumb on a one-pixel groove, 0 dB 57 pixels into the
// track; and the picture of the sliders, the LED and the shift wheel that the
// README shows, taken from the window itself.
#include "WindowTestSupport.h"
#include "platform/gui/Colors.h"

#include <QImage>

namespace keb::test
{
namespace
{

// The band positions of the 1.8 kHz preset look: a pass band in the middle,
// the edges down.
constexpr TBandPositions PictureBands = {-60, -60, -30, 0,   0,   3,   6,   6,   3,   0,
                                         0,   0,   -6,  -30, -60, -60, -60, -60, -60, -60};

QImage GrabRgb(QWidget& Widget, const QRect& Area = QRect())
{
    return Widget.grab(Area.isNull() ? QRect(QPoint(0, 0), Widget.size()) : Area)
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

bool IsColorAt(const QImage& Image, int X, int Y, TColor Color)
{
    return FromQRgb(Image.pixel(X, Y)) == ColorToRGB(Color);
}

using BandSliderTest = WindowTest;

TEST_F(BandSliderTest, EverySliderHasAPlainFrameAndTheSmallThumb)
{
    TMainForm& form = Form();
    form.show();
    for (int band = 0; band < BandCount; ++band)
    {
        SCOPED_TRACE("sl" + std::to_string(band));
        TMMSlider& slider = *form.sl[band];
        EXPECT_EQ(slider.Bevel().BevelInner(), TPanelBevel::bvNone);
        EXPECT_EQ(slider.Bevel().BevelOuter(), TPanelBevel::bvNone);
        EXPECT_EQ(slider.Bevel().BorderWidth(), 2);
        EXPECT_EQ(slider.GrooveSize(), 1);
        EXPECT_EQ(slider.ScaleDistance(), 5);
        EXPECT_EQ(slider.ScalePosition(), TMMScalePos::spAboveOrLeft);
        EXPECT_FALSE(slider.Scale().Visible());
        const TRect inner = slider.GetInnerRect();
        EXPECT_EQ(inner.Width(), 73);
        EXPECT_EQ(inner.Height(), 8);
        // Track 73 - 5 = 68 pixels for 72 dB: 0 dB is 60 / 72 of the way.
        const TRect thumb = slider.ThumbRect();
        EXPECT_EQ(thumb.Left - inner.Left, 57);
        EXPECT_EQ(thumb.Width(), 5);
        EXPECT_EQ(thumb.Height(), 11);
    }
    // The frame is the border colour all round, no shadow line; the thumb's
    // dark frame starts where the geometry says.
    const QImage image = GrabRgb(*form.sl[0]);
    const TColor border = form.sl[0]->Bevel().BorderColor();
    EXPECT_TRUE(IsColorAt(image, 0, 0, border));
    EXPECT_TRUE(IsColorAt(image, 76, 11, border));
    EXPECT_TRUE(IsColorAt(image, 1, 6, border));
    const TRect thumb = form.sl[0]->ThumbRect();
    EXPECT_TRUE(IsColorAt(image, thumb.Left, thumb.Top + 5, clBlack));
    EXPECT_TRUE(IsColorAt(image, thumb.Right - 1, thumb.Top + 5, clBlack));
}

// Written as controls-program.png into the build folder (KEB_BUILD_DIR);
// docs/images holds a copy for the README.
TEST_F(BandSliderTest, PictureOfTheSlidersLedAndWheel)
{
    TMainForm& form = Form();
    for (int band = 0; band < BandCount; ++band)
        form.sl[band]->SetPosition(PictureBands[band]);
    form.LED->SetLEDColor(clLime);
    form.show();
    const QRect area(130, 0, form.width() - 130, form.height());
    const QImage image = GrabRgb(form, area);
    ASSERT_EQ(image.size(), area.size());
    const char* folder = std::getenv("KEB_BUILD_DIR");
    const std::filesystem::path target =
        std::filesystem::path(folder != nullptr ? folder : ".") / "controls-program.png";
    EXPECT_TRUE(image.save(QString::fromStdString(target.string())));

    // Spot checks: the thumb of band 6 and the lit LED, where the window put them.
    const QPoint slider = form.sl[6]->mapTo(&form, QPoint(0, 0)) - area.topLeft();
    const TRect thumb = form.sl[6]->ThumbRect();
    EXPECT_TRUE(IsColorAt(image, slider.x() + thumb.Left, slider.y() + thumb.Top + 5, clBlack));
    const QPoint led = form.LED->mapTo(&form, QPoint(5, 5)) - area.topLeft();
    EXPECT_TRUE(IsColorAt(image, led.x(), led.y(), clLime));
}

} // namespace
} // namespace keb::test
