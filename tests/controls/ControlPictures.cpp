#include "ControlPictures.h"

#include <QDir>
#include <QTest>

namespace keb::test
{

TMMSlider* MakeProgramSlider(QWidget* parent)
{
    auto* slider = new TMMSlider(parent);
    slider->SetBounds(0, 0, 77, 12);
    slider->SetColor(WindowColor); // the window's colour, as all its controls
    slider->SetRange(-60, 12);
    slider->SetGrooveSize(1);
    slider->SetThumbWidth(5);
    slider->SetThumbHeight(11);
    slider->SetScaleDistance(5);
    slider->SetScalePosition(TMMScalePos::spAboveOrLeft);
    slider->Bevel().SetBevelOuter(TPanelBevel::bvNone);
    slider->Bevel().SetBorderWidth(2);
    slider->SetPosition(0);
    return slider;
}

TMMWheel* MakeProgramWheel(QWidget* parent)
{
    auto* wheel = new TMMWheel(parent);
    wheel->SetColor(WindowColor);
    wheel->SetMaxValue(20);
    wheel->SetValue(4);
    wheel->SetRadius(12);
    return wheel;
}

TMMLED* MakeProgramLED(QWidget* parent)
{
    auto* led = new TMMLED(parent);
    led->SetBounds(0, 0, 22, 11);
    led->SetLEDColor(clSilver);
    return led;
}

bool ShowActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

QImage Grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TFocusPictures GrabWithoutAndWithFocus(TControl& control)
{
    TFocusPictures pictures;
    control.clearFocus(); // the window may have given it the focus on activation
    pictures.Unfocused = Grab(control);
    control.SetFocus();
    pictures.Focused = Grab(control);
    return pictures;
}

TColor PixelAt(const QImage& image, int x, int y)
{
    return FromQRgb(image.pixel(x, y));
}

bool IsColor(const QImage& image, int x, int y, TColor color)
{
    return PixelAt(image, x, y) == ColorToRGB(color);
}

QString SavePicture(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("KEB_BUILD_DIR", QDir::currentPath());
    const QString path = QDir(folder).filePath("controls-" + name + ".png");
    image.save(path);
    return path;
}

} // namespace keb::test
