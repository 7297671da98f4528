// Part of TMMSpectrogram (MMSpGram.h): the frequency scale strips left and
// right of the picture.
#include "display/MMSpGram.h"

#include <QFontMetrics>
#include <cmath>

namespace keb
{

namespace
{

constexpr int StripWidth = 32;
// The smallest tick spacing is also the label font size.
constexpr int LabelFontSize = 10;

} // namespace

TColor TMMSpectrogram::ParentColor() const
{
    if (const auto* parent = dynamic_cast<const TControl*>(parentWidget()))
        return parent->Color();
    return clBtnFace;
}

QString TMMSpectrogram::ScaleLabel(int k) const
{
    const double base = FrequencyBase();
    const double scale = FrequencyScale();
    const double step = (SampleRate() / 2.0 - scale * base) / TickCount() / scale / 1000.0;
    const double label = k * step + base / 1000.0;
    if (base > 0 || scale > 1)
        return QString::asprintf("%4.2f", label);
    return QString::number(std::lround(label - 0.05));
}

void TMMSpectrogram::PaintScaleStrips(TCanvas& canvas)
{
    const TColor parent = ParentColor();
    PaintStrip(canvas, -3, true);
    PaintStrip(canvas, Width() - 29, false);
    // The 3-pixel gaps between the strips and the picture.
    canvas.FillRect({29, 0, StripWidth, Height()}, parent);
    canvas.FillRect({Width() - StripWidth, 0, Width() - 29, Height()}, parent);
}

void TMMSpectrogram::PaintStrip(TCanvas& screen, int x, bool left)
{
    TBitmap strip(StripWidth, Height());
    {
        TCanvas canvas(strip);
        canvas.FillRect({0, 0, StripWidth, Height()}, ParentColor());
        canvas.SetPenColor(scaleLineColor_);
        const int bevel = BevelExtent();
        const int axis = left ? 31 : 0;
        const int markEnd = left ? 27 : 4; // tick marks reach x 28 or x 3
        const int bottom = bevel + Rows();
        const int topTick = bevel + SpectrogramTickRow(TickCount(), TickCount(), Rows());
        canvas.MoveTo(axis, bottom);
        canvas.LineTo(axis, topTick - 1);
        QFont font("ARIAL");
        font.setPointSize(LabelFontSize);
        canvas.SetFont(font);
        QPainter& painter = canvas.Painter();
        painter.setPen(ToQColor(scaleTextColor_));
        const QFontMetrics metrics(font);
        for (int k = 0; k <= TickCount(); ++k)
        {
            const int y = bevel + SpectrogramTickRow(k, TickCount(), Rows());
            canvas.MoveTo(axis, y);
            canvas.LineTo(markEnd, y);
            const QString text = ScaleLabel(k);
            const int textLeft = left ? 26 - metrics.horizontalAdvance(text) : 6;
            painter.drawText(textLeft, y - metrics.height() / 2 + metrics.ascent(), text);
        }
        if (FrequencyBase() == 0 && FrequencyScale() == 1)
            painter.drawText(left ? 2 : 13, Height() - 5 - metrics.descent(), "KHz");
    }
    screen.Draw(x, 0, strip);
}

} // namespace keb
