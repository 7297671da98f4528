// Pictures of each control alone for the eye, written into the build folder.
// The README's picture of the window's sliders, LED and wheel is taken from
// the window itself (tests/app).
#include "ControlPictures.h"

#include <QFileInfo>
#include <array>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

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
