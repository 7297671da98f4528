// Pictures of the controls for the eye and the README, written into the
// build folder; each picture is checked for the pixels that identify it.
#include "ControlPictures.h"

#include <QFileInfo>
#include <array>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

// The band slider positions of the 1.8 kHz preset look: a pass band in the
// middle, the edges down.
constexpr std::array<int, 20> BandPositions = {-60, -60, -30, 0,   0,   3,   6,   6,   3,   0,
                                               0,   0,   -6,  -30, -60, -60, -60, -60, -60, -60};

// The controls of the main window's right half, laid out as in the window:
// the twenty band sliders, the status LED and the shift wheel.
TEST(Pictures, ProgramSlidersWheelAndLED)
{
    QWidget window;
    window.setFixedSize(200, 310);
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, ToQColor(WindowColor));
    window.setPalette(palette);
    std::array<TMMSlider*, 20> sliders{};
    for (int band = 0; band < 20; ++band)
    {
        sliders[band] = MakeProgramSlider(&window);
        sliders[band]->SetBounds(8, 297 - 15 * band, 77, 12);
        sliders[band]->SetPosition(BandPositions[band]);
    }
    TMMLED* led = MakeProgramLED(&window);
    led->SetBounds(112, 13, 22, 11);
    led->SetLEDColor(clLime);
    TMMWheel* wheel = MakeProgramWheel(&window);
    wheel->SetBounds(110, 119, 60, 60);
    window.show();

    const QImage image = Grab(window);
    const QString path = SavePicture(image, "program");
    EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    // Spot checks: the lit LED, the handle of the wheel, the thumb of band 6.
    EXPECT_TRUE(IsColor(image, 112 + 5, 13 + 5, clLime));
    EXPECT_TRUE(IsColor(image, 110 + 18, 119 + 28, TColor(128)));
    const TRect thumb = sliders[6]->ThumbRect().Offset(8, 297 - 15 * 6);
    EXPECT_TRUE(IsColor(image, thumb.Left, thumb.Top, clBlack));
}

TEST(Pictures, EachControlAlone)
{
    QWidget window;
    TMMSlider* slider = MakeProgramSlider(&window);
    TMMWheel* wheel = MakeProgramWheel(&window);
    TMMLED* led = MakeProgramLED(&window);
    auto* scaled = new TMMSlider(&window);
    scaled->Scale().SetVisible(true);
    scaled->SetPosition(3);
    auto* vertical = new TMMSlider(&window);
    vertical->SetBounds(0, 0, 40, 200);
    vertical->SetThumbWidth(23);
    vertical->SetThumbHeight(11);
    vertical->SetPosition(7);
    auto* bigWheel = new TMMWheel(&window);
    bigWheel->Bevel().SetBevelOuter(TPanelBevel::bvRaised);
    bigWheel->Bevel().SetBorderWidth(2);
    bigWheel->Scale().SetConnect(true);
    bigWheel->SetValue(7);
    window.show();

    const std::array<std::pair<QWidget*, const char*>, 6> pictures = {{
        {slider, "slider"},
        {wheel, "wheel"},
        {led, "led"},
        {scaled, "slider-default"},
        {vertical, "slider-vertical"},
        {bigWheel, "wheel-framed"},
    }};
    for (const auto& [control, name] : pictures)
    {
        const QImage image = Grab(*control);
        EXPECT_EQ(image.size(), control->size()) << name;
        EXPECT_TRUE(QFileInfo::exists(SavePicture(image, name))) << name;
    }
}

} // namespace
} // namespace keb::test
