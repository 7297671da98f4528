// Part of the tool's pictures (FilterPictures.h): the equalizer's response as a
// plot: frequency across, gain upwards, a grid every 500 Hz and 10 dB, and the
// axes labelled.
#include "tools/FilterPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace keb
{
namespace
{

constexpr int Width = 900;
constexpr int Height = 520;
const QRect Plot(80, 50, 790, 400);
constexpr double HighestFrequency = 4000;
constexpr double FrequencyStep = 500;
constexpr double TopDecibels = 20;
constexpr double BottomDecibels = -80;
constexpr double DecibelStep = 10;

double X(double frequency)
{
    return Plot.left() + frequency / HighestFrequency * Plot.width();
}

double Y(double decibels)
{
    decibels = std::clamp(decibels, BottomDecibels, TopDecibels);
    return Plot.top() + (TopDecibels - decibels) / (TopDecibels - BottomDecibels) * Plot.height();
}

void DrawGrid(QPainter& painter)
{
    painter.setPen(QPen(QColor(220, 220, 220), 1));
    for (double f = 0; f <= HighestFrequency; f += FrequencyStep)
        painter.drawLine(QPointF(X(f), Plot.top()), QPointF(X(f), Plot.bottom()));
    for (double d = BottomDecibels; d <= TopDecibels; d += DecibelStep)
        painter.drawLine(QPointF(Plot.left(), Y(d)), QPointF(Plot.right(), Y(d)));
    painter.setPen(QPen(QColor(140, 140, 140), 1, Qt::DashLine));
    painter.drawLine(QPointF(Plot.left(), Y(0)), QPointF(Plot.right(), Y(0)));
}

void DrawAxes(QPainter& painter, const std::string& title)
{
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(Plot);
    const QFontMetrics metrics(painter.font());
    for (double f = 0; f <= HighestFrequency; f += FrequencyStep)
    {
        QString label = QString::number(f, 'f', 0);
        painter.drawLine(QPointF(X(f), Plot.bottom()), QPointF(X(f), Plot.bottom() + 5));
        painter.drawText(QPointF(X(f) - metrics.horizontalAdvance(label) / 2.0,
                                 Plot.bottom() + 8 + metrics.ascent()),
                         label);
    }
    for (double d = BottomDecibels; d <= TopDecibels; d += DecibelStep)
    {
        QString label = QString::number(d, 'f', 0);
        painter.drawLine(QPointF(Plot.left() - 5, Y(d)), QPointF(Plot.left(), Y(d)));
        painter.drawText(QPointF(Plot.left() - 8 - metrics.horizontalAdvance(label),
                                 Y(d) + metrics.ascent() / 2.0 - 1),
                         label);
    }
    QString across = "Frequency (Hz)";
    painter.drawText(QPointF(Plot.center().x() - metrics.horizontalAdvance(across) / 2.0,
                             Plot.bottom() + 14 + 2 * metrics.height()),
                     across);
    painter.save();
    painter.translate(22, Plot.center().y());
    painter.rotate(-90);
    QString upwards = "Gain (dB)";
    painter.drawText(QPointF(-metrics.horizontalAdvance(upwards) / 2.0, 0), upwards);
    painter.restore();
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(0, 0, Width, Plot.top()), Qt::AlignCenter,
                     QString::fromStdString(title));
}

void DrawCurve(QPainter& painter, const std::vector<TResponsePoint>& response)
{
    QPainterPath curve;
    for (std::size_t i = 0; i < response.size(); ++i)
    {
        QPointF point(X(response[i].Frequency), Y(response[i].Decibels));
        if (i == 0)
            curve.moveTo(point);
        else
            curve.lineTo(point);
    }
    painter.setClipRect(Plot);
    painter.setPen(QPen(QColor(0, 70, 200), 2));
    painter.drawPath(curve);
    painter.setClipping(false);
}

} // namespace

QImage ResponseImage(const std::vector<TResponsePoint>& response, const std::string& title)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawGrid(painter);
    DrawCurve(painter, response);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawAxes(painter, title);
    return image;
}

} // namespace keb
