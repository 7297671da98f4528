#include "display/MMSpGramText.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace keb
{

TTextMask RenderTextMask(const QString& text, const QFont& font)
{
    QFont sharp(font);
    sharp.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(sharp);
    TTextMask mask;
    mask.Width = std::max(metrics.horizontalAdvance(text), 1);
    mask.Height = std::max(metrics.height(), 1);
    QImage image(mask.Width, mask.Height, QImage::Format_Grayscale8);
    image.fill(0);
    {
        QPainter painter(&image);
        painter.setFont(sharp);
        painter.setPen(Qt::white);
        painter.drawText(0, metrics.ascent(), text);
    }
    mask.Bits.resize(static_cast<std::size_t>(mask.Width) * mask.Height);
    for (int y = 0; y < mask.Height; ++y)
    {
        const std::uint8_t* row = image.constScanLine(y);
        for (int x = 0; x < mask.Width; ++x)
            mask.Bits[static_cast<std::size_t>(y) * mask.Width + x] = row[x] > 127 ? 1 : 0;
    }
    return mask;
}

} // namespace keb
