// Helpers of the control tests: the controls as the main window sets them up,
// grabbing a widget to an image and reading its pixels as colour values.
#pragma once

#include "controls/MMLEDS.h"
#include "controls/MMSlider.h"
#include "controls/MMWheel.h"

#include <QImage>
#include <QString>

namespace keb::test
{

// The window's background colour.
constexpr TColor WindowColor = 12566464;

// A band slider of the main window: 77 x 12, -60 .. 12 dB, at 0.
TMMSlider* MakeProgramSlider(QWidget* parent);
// The shift wheel of the main window: 0 .. 20 at 4, Radius 12, scale shown.
TMMWheel* MakeProgramWheel(QWidget* parent);
// The status LED of the main window: 22 x 11.
TMMLED* MakeProgramLED(QWidget* parent);

// Shows window and waits until it is the active window (which gives its
// first focusable control the focus).
bool ShowActive(QWidget& window);

QImage Grab(QWidget& widget);

struct TFocusPictures
{
    QImage Unfocused;
    QImage Focused;
};
// Grabs control without and then with the focus; window must be active.
TFocusPictures GrabWithoutAndWithFocus(TControl& control);
// The colour value of a pixel (system colours compare through ColorToRGB).
TColor PixelAt(const QImage& image, int x, int y);
bool IsColor(const QImage& image, int x, int y, TColor color);

// Writes image as <build folder>/controls-<name>.png (KEB_BUILD_DIR, else the
// working folder) and returns the path.
QString SavePicture(const QImage& image, const QString& name);

} // namespace keb::test
