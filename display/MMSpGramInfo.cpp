// Part of TMMSpectrogram (MMSpGram.h): the frequency box: while the left
// button is held over the picture, a box shows the frequency of the row under
// the cursor.
#include "display/MMSpGram.h"

#include "display/MMDIBCvPixels.h"
#include "display/MMSpGramText.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QToolTip>
#include <unordered_map>

namespace keb
{

namespace
{

QFont InfoFont()
{
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    return font;
}

} // namespace

void TMMSpectrogram::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && showInfo_ && !infoMode_ &&
        rect().contains(event->position().toPoint()))
        BeginInfo(event->position().toPoint());
}

void TMMSpectrogram::mouseMoveEvent(QMouseEvent* event)
{
    if (infoMode_)
        DrawInfoBox(ConfineToArea(event->position().toPoint()));
}

void TMMSpectrogram::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && infoMode_)
        EndInfo();
}

QPoint TMMSpectrogram::ConfineToArea(QPoint point) const
{
    // Qt cannot hold the cursor in a rectangle; the box follows it as if it did.
    return {std::clamp(point.x(), area_.Left, area_.Right - 1),
            std::clamp(point.y(), area_.Top, area_.Bottom - 1)};
}

void TMMSpectrogram::BeginInfo(QPoint point)
{
    infoMode_ = true;
    savedShowHint_ = showHint_;
    showHint_ = false;
    QToolTip::hideText();
    CopyScreenToDIB();
    DrawInfoBox(ConfineToArea(point));
}

void TMMSpectrogram::EndInfo()
{
    if (Enabled())
    {
        RestoreSavedBox();
        DrawNow(false, [this](bool) { BlitTo(0, 0, Columns(), Rows(), 0, 0); });
    }
    saveArea_.reset();
    infoMode_ = false;
    showHint_ = savedShowHint_;
}

void TMMSpectrogram::CopyScreenToDIB()
{
    TMMDIBCanvas& canvas = DIBCanvas();
    if (canvas.BitsPerPixel() != 8)
        return;
    // With Accelerate the screen holds more than the DIB (the bar, a
    // scrolled picture): the box must be drawn over what is seen.
    std::unordered_map<QRgb, std::uint8_t> indexes;
    std::uint8_t* bits = canvas.Bits();
    const int columns = std::min(Columns(), area_.Width());
    const int rows = std::min(Rows(), area_.Height());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
        {
            const QRgb pixel = Screen().pixel(area_.Left + x, area_.Top + y);
            auto found = indexes.find(pixel);
            if (found == indexes.end())
                found = indexes.emplace(pixel, canvas.ColorToIndex(FromQRgb(pixel))).first;
            bits[y * canvas.Stride() + x] = found->second;
        }
}

double TMMSpectrogram::FrequencyAt(int y) const
{
    const double base = FrequencyBase();
    const double scale = FrequencyScale();
    return base + (SampleRate() / 2.0 - scale * base) * (Rows() + area_.Top - y - 1) /
                      (Rows() - 1) / scale;
}

void TMMSpectrogram::RestoreSavedBox()
{
    if (!saveArea_)
        return;
    TMMDIBCanvas& canvas = DIBCanvas();
    std::uint8_t* bits = canvas.Bits();
    const TSaveArea& area = *saveArea_;
    for (int row = 0; row < area.Height; ++row)
        std::copy_n(area.Pixels.begin() + static_cast<std::ptrdiff_t>(row) * area.Width, area.Width,
                    bits + (area.Top + row) * canvas.Stride() + area.Left);
    saveArea_.reset();
}

void TMMSpectrogram::DrawInfoBox(QPoint point)
{
    RestoreSavedBox();
    TMMDIBCanvas& canvas = DIBCanvas();
    if (area_.Contains({point.x(), point.y()}) && canvas.BitsPerPixel() == 8)
    {
        const QString text = QString::asprintf("%2.3f KHz", FrequencyAt(point.y()) / 1000.0);
        const TTextMask mask = RenderTextMask(text, InfoFont());
        int left = point.x() - BevelExtent() - (drawScale_ ? 32 : 0);
        int top = point.y() - BevelExtent() + 15;
        int right = left + mask.Width + 4;
        int bottom = top + mask.Height + 2;
        if (bottom > Rows())
        {
            top -= 40;
            bottom -= 40;
        }
        if (right > Columns())
        {
            left -= right - Columns();
            right = Columns();
        }
        if (top < 0)
        {
            top = 0;
            bottom = mask.Height + 2;
        }
        // Keep what the box covers (the part inside the picture).
        TSaveArea save;
        save.Left = std::max(left, 0);
        save.Top = top;
        save.Width = std::min(right, Columns()) - save.Left;
        save.Height = std::min(bottom, Rows()) - save.Top;
        if (save.Width > 0 && save.Height > 0)
        {
            const std::uint8_t* bits = canvas.Bits();
            for (int row = 0; row < save.Height; ++row)
            {
                const std::uint8_t* from = bits + (save.Top + row) * canvas.Stride() + save.Left;
                save.Pixels.insert(save.Pixels.end(), from, from + save.Width);
            }
            saveArea_ = std::move(save);
        }
        TDIBDrawing drawing(canvas);
        canvas.SetDrawColor(ColorToRGB(clWhite));
        DIBFillRect(left, top, right, bottom);
        canvas.SetDrawColor(ColorToRGB(clBlack));
        DIBHorizLine(left, right - 1, top);
        DIBHorizLine(left, right - 1, bottom - 1);
        DIBVertLine(left, top, bottom - 1);
        DIBVertLine(right - 1, top, bottom - 1);
        canvas.SetDrawColor(ColorToRGB(clInfoText));
        DIBDrawMask(mask.Bits.data(), mask.Width, mask.Height,
                    left + (right - left - mask.Width) / 2, top + (bottom - top - mask.Height) / 2);
    }
    DrawNow(false, [this](bool) { BlitTo(0, 0, Columns(), Rows(), 0, 0); });
}

} // namespace keb
