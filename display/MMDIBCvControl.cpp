#include "display/MMDIBCvControl.h"

#include <QPainter>
#include <cstring>

namespace keb
{

namespace
{

// A view of the canvas's bytes as a QImage: Indexed8 with the canvas palette,
// or 24-bit with blue first in memory.
QImage CanvasImage(TMMDIBCanvas& canvas)
{
    std::uint8_t* bits = canvas.Bits();
    if (canvas.BitsPerPixel() > 8)
        return QImage(bits, canvas.BufferWidth(), canvas.BufferHeight(), canvas.Stride(),
                      QImage::Format_BGR888);
    QImage image(bits, canvas.BufferWidth(), canvas.BufferHeight(), canvas.Stride(),
                 QImage::Format_Indexed8);
    QList<QRgb> colours(DIBPaletteSize);
    for (int index = 0; index < DIBPaletteSize; ++index)
    {
        const TPaletteEntry& entry = canvas.Palette()[index];
        colours[index] = qRgb(entry.peRed, entry.peGreen, entry.peBlue);
    }
    image.setColorTable(colours);
    return image;
}

} // namespace

TMMDIBGraphicControl::TMMDIBGraphicControl(QWidget* parent) : TMMGraphicControl(parent)
{
    FitScreen();
}

void TMMDIBGraphicControl::SetPaletteRealize(bool value)
{
    Canvas_.SetPaletteRealize(value);
    Invalidate();
}

void TMMDIBGraphicControl::SetPaletteMapped(bool value)
{
    Canvas_.SetPaletteMapped(value);
    Invalidate();
}

void TMMDIBGraphicControl::SetBitsPerPixel(int bits)
{
    Canvas_.SetBitsPerPixel(bits);
    Invalidate();
}

void TMMDIBGraphicControl::SetBounds(int left, int top, int width, int height)
{
    TMMGraphicControl::SetBounds(left, top, width, height);
    FitScreen();
    Canvas_.SetSize(Width(), Height());
}

void TMMDIBGraphicControl::SetScreenOrigin(int x, int y)
{
    OriginX_ = x;
    OriginY_ = y;
}

void TMMDIBGraphicControl::DrawNow(bool full, const std::function<void(bool full)>& draw)
{
    if (!isVisible())
        return;
    draw(full);
    // Inside a paint the paint itself shows the screen image.
    if (InPaint_ || Dirty_.isEmpty())
        return;
    const QRegion dirty = Dirty_;
    Dirty_ = QRegion();
    repaint(dirty);
}

QRect TMMDIBGraphicControl::OnScreen(int left, int top, int right, int bottom) const
{
    return QRect(QPoint(OriginX_ + left, OriginY_ + top),
                 QPoint(OriginX_ + right - 1, OriginY_ + bottom - 1))
        .intersected(Screen_.rect());
}

void TMMDIBGraphicControl::BlitTo(int left, int top, int width, int height, int sourceX,
                                  int sourceY)
{
    const QImage source = CanvasImage(Canvas_);
    const QPoint toSource(sourceX - OriginX_ - left, sourceY - OriginY_ - top);
    // Both the screen and the canvas clip the copy.
    const QRect target = QRect(OriginX_ + left, OriginY_ + top, width, height)
                             .intersected(Screen_.rect())
                             .intersected(source.rect().translated(-toSource));
    if (target.isEmpty())
        return;
    // A plain row copy of the converted part: small conversions run in this
    // thread, where painting an indexed image may hand the work to Qt's
    // thread pool.
    const QImage part =
        source.copy(target.translated(toSource)).convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < part.height(); ++row)
        std::memcpy(Screen_.scanLine(target.top() + row) + target.left() * sizeof(QRgb),
                    part.constScanLine(row), static_cast<std::size_t>(part.width()) * sizeof(QRgb));
    Dirty_ += target;
}

void TMMDIBGraphicControl::ScrollLeft(int left, int top, int right, int bottom)
{
    const QRect area = OnScreen(left, top, right, bottom);
    if (area.width() < 2)
        return;
    for (int y = area.top(); y <= area.bottom(); ++y)
    {
        auto* row = reinterpret_cast<QRgb*>(Screen_.scanLine(y)) + area.left();
        std::memmove(row, row + 1, sizeof(QRgb) * static_cast<std::size_t>(area.width() - 1));
    }
    Dirty_ += area;
}

void TMMDIBGraphicControl::FillScreen(int left, int top, int right, int bottom, TDIBColor color)
{
    const QRect area = OnScreen(left, top, right, bottom);
    if (area.isEmpty())
        return;
    QPainter painter(&Screen_);
    painter.fillRect(area, QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
    Dirty_ += area;
}

void TMMDIBGraphicControl::Paint()
{
    InPaint_ = true;
    struct TEnd
    {
        bool& InPaint;
        ~TEnd() { InPaint = false; }
    } end{InPaint_};
    PaintScreen();
    Dirty_ = QRegion();
    Canvas()->Painter().drawImage(0, 0, Screen_);
}

void TMMDIBGraphicControl::resizeEvent(QResizeEvent* event)
{
    TMMGraphicControl::resizeEvent(event);
    FitScreen();
}

void TMMDIBGraphicControl::FitScreen()
{
    if (Screen_.size() == size() && !Screen_.isNull())
        return;
    QImage screen(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    screen.fill(Qt::black);
    if (!Screen_.isNull())
    {
        QPainter painter(&screen);
        painter.drawImage(0, 0, Screen_);
    }
    Screen_ = std::move(screen);
}

} // namespace keb
