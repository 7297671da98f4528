// Part of TMMWheel (MMWheel.h): the built-in knob picture, a grey knob with a
// bevelled, knurled rim, drawn once in code.
#include "controls/MMWheel.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace keb
{

namespace
{

constexpr int PictureSize = 32;
// The transparent colour: a grey just off the usual face colour, so that
// anti-aliased edges blend towards grey wherever the knob is shown.
const QColor TransparentKey(0xC0, 0xC0, 0xC1);

QImage DrawKnob()
{
    QImage image(PictureSize, PictureSize, QImage::Format_RGB32);
    image.fill(TransparentKey);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(PictureSize / 2.0, PictureSize / 2.0);

    QLinearGradient rim(QPointF(4, 4), QPointF(28, 28));
    rim.setColorAt(0.0, QColor(0xFF, 0xFF, 0xFF));
    rim.setColorAt(0.5, QColor(0xA8, 0xA8, 0xA8));
    rim.setColorAt(1.0, QColor(0x40, 0x40, 0x40));
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.0));
    painter.setBrush(rim);
    painter.drawEllipse(centre, 14.5, 14.5);

    painter.setPen(QPen(QColor(0x58, 0x58, 0x58), 1.0));
    for (int notch = 0; notch < 24; ++notch)
    {
        const double angle = notch * 2 * std::numbers::pi / 24;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(centre + direction * 11.5, centre + direction * 14.0);
    }

    QRadialGradient face(QPointF(13, 12), 12);
    face.setColorAt(0.0, QColor(0xEC, 0xEC, 0xEC));
    face.setColorAt(1.0, QColor(0x9C, 0x9C, 0x9C));
    QLinearGradient faceEdge(QPointF(8, 8), QPointF(24, 24));
    faceEdge.setColorAt(0.0, QColor(0x70, 0x70, 0x70));
    faceEdge.setColorAt(1.0, QColor(0xF8, 0xF8, 0xF8));
    painter.setPen(QPen(QBrush(faceEdge), 1.0));
    painter.setBrush(face);
    painter.drawEllipse(centre, 10.0, 10.0);
    return image;
}

} // namespace

const TBitmap& BuiltInWheelPicture()
{
    static const TBitmap picture = []
    {
        TBitmap bitmap;
        bitmap.LoadFromImage(DrawKnob());
        return bitmap;
    }();
    return picture;
}

} // namespace keb
