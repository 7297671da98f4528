#include "platform/gui/Canvas.h"

#include <cstdlib>

namespace keb
{

TCanvas::TCanvas(QPaintDevice& device) : painter_(&device)
{
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
}

TCanvas::TCanvas(TBitmap& bitmap) : TCanvas(static_cast<QPaintDevice&>(bitmap.Image())) {}

void TCanvas::SetBrushColor(TColor color)
{
    brushColor_ = color;
    brushStyle_ = TBrushStyle::bsSolid;
}

void TCanvas::FillRect(const TRect& rect)
{
    FillRect(rect, brushColor_);
}

void TCanvas::FillRect(const TRect& rect, TColor color)
{
    if (!rect.IsEmpty())
        painter_.fillRect(rect.ToQRect(), ToQColor(color));
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    Plot(x, y, ToQColor(color));
}

void TCanvas::Plot(int x, int y, const QColor& color)
{
    painter_.fillRect(x, y, 1, 1, color);
}

TRect TCanvas::Frame3D(TRect rect, TColor topColor, TColor bottomColor, int width)
{
    for (; width > 0; --width)
    {
        const int right = rect.Right - 1;
        const int bottom = rect.Bottom - 1;
        FillRect({rect.Left, rect.Top, right, rect.Top + 1}, topColor);
        FillRect({rect.Left, rect.Top, rect.Left + 1, bottom}, topColor);
        FillRect({right, rect.Top, rect.Right, rect.Bottom}, bottomColor);
        FillRect({rect.Left, bottom, rect.Right, rect.Bottom}, bottomColor);
        rect = rect.Inflated(-1, -1);
    }
    return rect;
}

void TCanvas::LineTo(int x, int y)
{
    // Bresenham, leaving out the end point so that joined lines do not
    // draw their common corner twice (which matters for inverted drawing).
    const QColor color = ToQColor(penColor_);
    int px = penPos_.X;
    int py = penPos_.Y;
    const int dx = std::abs(x - px);
    const int dy = -std::abs(y - py);
    const int sx = px < x ? 1 : -1;
    const int sy = py < y ? 1 : -1;
    int error = dx + dy;
    while (px != x || py != y)
    {
        Plot(px, py, color);
        const int doubled = 2 * error;
        if (doubled >= dy)
        {
            error += dy;
            px += sx;
        }
        if (doubled <= dx)
        {
            error += dx;
            py += sy;
        }
    }
    penPos_ = {x, y};
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    // Pixel by pixel, so that even a handle of four pixels comes out round:
    // a pixel belongs to the ellipse when its centre does, and to the outline
    // when one of its four neighbours does not.
    const double rx = (x2 - x1) / 2.0;
    const double ry = (y2 - y1) / 2.0;
    if (rx <= 0 || ry <= 0)
        return;
    const double cx = x1 + rx;
    const double cy = y1 + ry;
    auto inside = [&](int x, int y)
    {
        const double dx = (x + 0.5 - cx) / rx;
        const double dy = (y + 0.5 - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    };
    const QColor pen = ToQColor(penColor_);
    const QColor brush = ToQColor(brushColor_);
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
        {
            if (!inside(x, y))
                continue;
            if (!inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1))
                Plot(x, y, pen);
            else if (brushStyle_ == TBrushStyle::bsSolid)
                Plot(x, y, brush);
        }
}

void TCanvas::Arc(const TRect& box, double startDegrees, double spanDegrees)
{
    painter_.save();
    painter_.setPen(QPen(ToQColor(penColor_), 0));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawArc(QRect(box.Left, box.Top, box.Width() - 1, box.Height() - 1),
                     int(startDegrees * 16), int(spanDegrees * 16));
    painter_.restore();
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    const QFontMetrics metrics(painter_.font());
    if (brushStyle_ == TBrushStyle::bsSolid)
        painter_.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                          ToQColor(brushColor_));
    painter_.save();
    painter_.setPen(Qt::black);
    painter_.drawText(x, y + metrics.ascent(), text);
    painter_.restore();
}

int TCanvas::TextWidth(const QString& text) const
{
    return QFontMetrics(painter_.font()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString&) const
{
    return QFontMetrics(painter_.font()).height();
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap)
{
    if (!bitmap.Empty())
        painter_.drawImage(x, y, bitmap.Image());
}

void TCanvas::DrawTransparent(const TRect& rect, const TBitmap& bitmap)
{
    if (bitmap.Empty() || rect.IsEmpty())
        return;
    QImage picture = bitmap.Image().scaled(rect.Width(), rect.Height(), Qt::IgnoreAspectRatio,
                                           Qt::FastTransformation);
    const QColor transparent = ToQColor(bitmap.TransparentColor());
    picture.setAlphaChannel(picture.createMaskFromColor(transparent.rgb(), Qt::MaskOutColor));
    painter_.drawImage(rect.Left, rect.Top, picture);
}

void TCanvas::DrawFocusRect(const TRect& rect)
{
    if (rect.IsEmpty())
        return;
    painter_.save();
    painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QColor white(Qt::white);
    auto invertAlternate = [&](int x, int y)
    {
        if (((x + y) & 1) == 0)
            Plot(x, y, white);
    };
    for (int x = rect.Left; x < rect.Right; ++x)
    {
        invertAlternate(x, rect.Top);
        if (rect.Bottom - 1 > rect.Top)
            invertAlternate(x, rect.Bottom - 1);
    }
    for (int y = rect.Top + 1; y < rect.Bottom - 1; ++y)
    {
        invertAlternate(rect.Left, y);
        if (rect.Right - 1 > rect.Left)
            invertAlternate(rect.Right - 1, y);
    }
    painter_.restore();
}

} // namespace keb
