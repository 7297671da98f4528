#include "app/AboutAnimation.h"

#include "demo/Morse.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace keb
{

namespace
{

constexpr int FrameMilliseconds = 60;
constexpr int FramesPerUnit = 2;
constexpr std::string_view Message = "CQ DE KEB 73";

} // namespace

TAboutAnimation::TAboutAnimation(QWidget* parent) : QWidget(parent), keying_(MorseKeying(Message))
{
    setToolTip("click for close");
    setCursor(Qt::PointingHandCursor);
    timer_.setInterval(FrameMilliseconds);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { NextFrame(); });
}

void TAboutAnimation::Start()
{
    timer_.start();
}

void TAboutAnimation::Stop()
{
    timer_.stop();
}

bool TAboutAnimation::KeyDown() const
{
    return keying_[(frame_ / FramesPerUnit) % keying_.size()];
}

std::uint32_t TAboutAnimation::NextNoise()
{
    noiseState_ = noiseState_ * 1664525u + 1013904223u;
    return noiseState_ >> 24;
}

void TAboutAnimation::NextFrame()
{
    if (picture_.isNull())
        return;
    const int width = picture_.width();
    // Scroll everything one line down, then draw the new line at the top.
    for (int y = picture_.height() - 1; y > 0; --y)
        std::memcpy(picture_.scanLine(y), picture_.scanLine(y - 1), picture_.bytesPerLine());
    auto* line = reinterpret_cast<QRgb*>(picture_.scanLine(0));
    const int signalColumn = width * 2 / 5;
    for (int x = 0; x < width; ++x)
    {
        const int noise = static_cast<int>(NextNoise() % 70);
        const int distance = std::abs(x - signalColumn);
        int level = noise;
        if (KeyDown() && distance < 4)
            level = 255 - distance * 40;
        else if (x == width * 3 / 4)
            level = 110 + noise / 2; // a steady weaker carrier
        line[x] = qRgb(level / 3, level, std::min(255, 60 + level));
    }
    ++frame_;
    update();
}

void TAboutAnimation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
    painter.setPen(QColor(0, 255, 0));
    painter.drawText(rect().adjusted(0, 0, -4, -3), Qt::AlignRight | Qt::AlignBottom, "73");
}

void TAboutAnimation::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick)
        OnClick();
}

void TAboutAnimation::resizeEvent(QResizeEvent*)
{
    picture_ = QImage(size(), QImage::Format_RGB32);
    picture_.fill(Qt::black);
}

} // namespace keb
