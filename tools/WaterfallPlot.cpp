// Part of the tool's pictures (FilterPictures.h): a waterfall as a picture a
// person can read: the waterfall's cells as they are, a frequency axis in Hz on
// the left, a time axis below and a title.
#include "tools/FilterPictures.h"

#include <QPainter>
#include <array>
#include <cmath>

namespace keb
{
namespace
{

constexpr int RightMargin = 24;
constexpr int BottomMargin = 52;
constexpr double HighestFrequency = TWaterfallPicture::SampleRate / 2.0;
constexpr double FrequencyStep = 500;
constexpr int SmallestTickSpacing = 70; // pixels between two time labels

// "42 s", "3:05" or "1:02:03".
QString TimeLabel(double seconds, double duration)
{
    if (duration < 60)
        return QString::number(seconds, 'g', 3) + " s";
    const auto whole = static_cast<long long>(std::lround(seconds));
    const QString secondsPart = QString("%1").arg(whole % 60, 2, 10, QChar('0'));
    if (duration < 3600)
        return QString::number(whole / 60) + ":" + secondsPart;
    return QString::number(whole / 3600) + ":" +
           QString("%1").arg((whole / 60) % 60, 2, 10, QChar('0')) + ":" + secondsPart;
}

// The shortest round step between time labels that leaves them room.
double TimeStep(double pixelsPerSecond)
{
    static constexpr std::array<double, 16> steps{0.25, 0.5, 1,   2,   5,   10,   15,   30,
                                                  60,   120, 300, 600, 900, 1800, 3600, 7200};
    for (double step : steps)
        if (step * pixelsPerSecond >= SmallestTickSpacing)
            return step;
    return std::ceil(SmallestTickSpacing / pixelsPerSecond / 3600) * 3600;
}

double FrequencyY(double frequency)
{
    return WaterfallPlotTop + TWaterfallPicture::WindowRows -
           frequency / HighestFrequency * TWaterfallPicture::WindowRows;
}

void DrawCells(QImage& image, const TWaterfallPicture& waterfall)
{
    std::array<QRgb, DIBPaletteSize> colours{};
    for (int i = 0; i < DIBPaletteSize; ++i)
    {
        const TPaletteEntry& entry = waterfall.Palette().palPalEntry[i];
        colours[i] = qRgb(entry.peRed, entry.peGreen, entry.peBlue);
    }
    for (int y = 0; y < waterfall.Rows(); ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(WaterfallPlotTop + y));
        for (int x = 0; x < waterfall.Columns(); ++x)
            line[WaterfallPlotLeft + x] = colours[waterfall.Pixel(x, y)];
    }
}

void DrawFrequencyAxis(QPainter& painter)
{
    const QFontMetrics metrics(painter.font());
    for (double f = 0; f <= HighestFrequency; f += FrequencyStep)
    {
        const QString label = QString::number(f, 'f', 0);
        const double y = FrequencyY(f);
        painter.drawLine(QPointF(WaterfallPlotLeft - 5, y), QPointF(WaterfallPlotLeft - 1, y));
        painter.drawText(QPointF(WaterfallPlotLeft - 8 - metrics.horizontalAdvance(label),
                                 y + metrics.ascent() / 2.0 - 1),
                         label);
    }
    painter.save();
    painter.translate(14, WaterfallPlotTop + TWaterfallPicture::WindowRows / 2.0);
    painter.rotate(-90);
    const QString title = "Frequency (Hz)";
    painter.drawText(QPointF(-metrics.horizontalAdvance(title) / 2.0, 0), title);
    painter.restore();
}

void DrawTimeAxis(QPainter& painter, const TWaterfallPicture& waterfall)
{
    const QFontMetrics metrics(painter.font());
    const int bottom = WaterfallPlotTop + TWaterfallPicture::WindowRows;
    const double duration = static_cast<double>(waterfall.Blocks()) *
                            TWaterfallPicture::BlockSamples / TWaterfallPicture::SampleRate;
    if (duration > 0)
    {
        const double pixelsPerSecond = waterfall.Columns() / duration;
        const double step = TimeStep(pixelsPerSecond);
        for (double t = 0; t <= duration; t += step)
        {
            const double x = WaterfallPlotLeft + t * pixelsPerSecond;
            const QString label = TimeLabel(t, duration);
            painter.drawLine(QPointF(x, bottom + 1), QPointF(x, bottom + 5));
            painter.drawText(
                QPointF(x - metrics.horizontalAdvance(label) / 2.0, bottom + 8 + metrics.ascent()),
                label);
        }
    }
    const QString title = "Time";
    painter.drawText(QPointF(WaterfallPlotLeft + waterfall.Columns() / 2.0 -
                                 metrics.horizontalAdvance(title) / 2.0,
                             bottom + 14 + 2 * metrics.height()),
                     title);
}

} // namespace

QImage WaterfallImage(const TWaterfallPicture& waterfall, const std::string& title)
{
    // A recording shorter than one block still gives a (black) plot.
    const int columns = std::max(waterfall.Columns(), 1);
    QImage image(WaterfallPlotLeft + columns + RightMargin,
                 WaterfallPlotTop + waterfall.Rows() + BottomMargin, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(WaterfallPlotLeft, WaterfallPlotTop, columns, waterfall.Rows(), Qt::black);
    painter.end();
    DrawCells(image, waterfall);
    painter.begin(&image);
    painter.setPen(QPen(Qt::black, 1));
    DrawFrequencyAxis(painter);
    DrawTimeAxis(painter, waterfall);
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(0, 0, image.width(), WaterfallPlotTop), Qt::AlignCenter,
                     QString::fromStdString(title));
    return image;
}

} // namespace keb
