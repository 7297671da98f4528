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
    canvas_.SetPaletteRealize(value);
    Invalidate();
}

void TMMDIBGraphicControl::SetPaletteMapped(bool value)
{
    canvas_.SetPaletteMapped(value);
    Invalidate();
}

void TMMDIBGraphicControl::SetBitsPerPixel(int bits)
{
    canvas_.SetBitsPerPixel(bits);
    Invalidate();
}

void TMMDIBGraphicControl::SetBounds(int left, int top, int width, int height)
{
    TMMGraphicControl::SetBounds(left, top, width, height);
    FitScreen();
    canvas_.SetSize(Width(), Height());
}

void TMMDIBGraphicControl::SetScreenOrigin(int x, int y)
{
    originX_ = x;
    originY_ = y;
}

void TMMDIBGraphicControl::DrawNow(bool full, const std::function<void(bool full)>& draw)
{
    if (!isVisible())
        return;
    draw(full);
    // Inside a paint the paint itself shows the screen image.
    if (inPaint_ || dirty_.isEmpty())
        return;
    const QRegion dirty = dirty_;
    dirty_ = QRegion();
    repaint(dirty);
}

QRect TMMDIBGraphicControl::OnScreen(int left, int top, int right, int bottom) const
{
    return QRect(QPoint(originX_ + left, originY_ + top),
                 QPoint(originX_ + right - 1, originY_ + bottom - 1))
        .intersected(screen_.rect());
}

void TMMDIBGraphicControl::BlitTo(int left, int top, int width, int height, int sourceX,
                                  int sourceY)
{
    const QImage source = CanvasImage(canvas_);
    const QPoint toSource(sourceX - originX_ - left, sourceY - originY_ - top);
    // Both the screen and the canvas clip the copy.
    const QRect target = QRect(originX_ + left, originY_ + top, width, height)
                             .intersected(screen_.rect())
                             .intersected(source.rect().translated(-toSource));
    if (target.isEmpty())
        return;
    // A plain row copy of the converted part: small conversions run in this
    // thread, where painting an indexed image may hand the work to Qt's
    // thread pool.
    const QImage part =
        source.copy(target.translated(toSource)).convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < part.height(); ++row)
        std::memcpy(screen_.scanLine(target.top() + row) + target.left() * sizeof(QRgb),
                    part.constScanLine(row), static_cast<std::size_t>(part.width()) * sizeof(QRgb));
    dirty_ += target;
}

void TMMDIBGraphicControl::ScrollLeft(int left, int top, int right, int bottom)
{
    const QRect area = OnScreen(left, top, right, bottom);
    if (area.width() < 2)
        return;
    for (int y = area.top(); y <= area.bottom(); ++y)
    {
        auto* row = reinterpret_cast<QRgb*>(screen_.scanLine(y)) + area.left();
        std::memmove(row, row + 1, sizeof(QRgb) * static_cast<std::size_t>(area.width() - 1));
    }
    dirty_ += area;
}

void TMMDIBGraphicControl::FillScreen(int left, int top, int right, int bottom, TDIBColor color)
{
    const QRect area = OnScreen(left, top, right, bottom);
    if (area.isEmpty())
        return;
    QPainter painter(&screen_);
    painter.fillRect(area, QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
    dirty_ += area;
}

void TMMDIBGraphicControl::Paint()
{
    inPaint_ = true;
    struct TEnd
    {
        bool& InPaint;
        ~TEnd() { InPaint = false; }
    } end{inPaint_};
    PaintScreen();
    dirty_ = QRegion();
    Canvas()->Painter().drawImage(0, 0, screen_);
}

void TMMDIBGraphicControl::resizeEvent(QResizeEvent* event)
{
    TMMGraphicControl::resizeEvent(event);
    FitScreen();
}

void TMMDIBGraphicControl::FitScreen()
{
    if (screen_.size() == size() && !screen_.isNull())
        return;
    QImage screen(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    screen.fill(Qt::black);
    if (!screen_.isNull())
    {
        QPainter painter(&screen);
        painter.drawImage(0, 0, screen_);
    }
    screen_ = std::move(screen);
}

} // namespace keb
