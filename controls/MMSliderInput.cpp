// Part of TMMSlider (MMSlider.h): the mouse, keyboard and focus handling, with
// the blink timer shared by all sliders.
#include "controls/MMSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

namespace keb
{

namespace
{

// One blink timer for all sliders: only the focused slider blinks.
struct TBlinkTimer
{
    QTimer* Timer = nullptr;
    TMMCustomSlider* Owner = nullptr;
};
TBlinkTimer BlinkTimer;

constexpr int BlinkInterval = 500;

} // namespace

void TMMCustomSlider::ShowThumbCursor(bool overThumb)
{
    SetScreenCursor(!overThumb ? crDefault : handCursor_ ? crLibraryHand : thumbCursor_);
}

void TMMCustomSlider::mousePressEvent(QMouseEvent* event)
{
    SetFocus();
    const TPoint point{event->position().toPoint().x(), event->position().toPoint().y()};
    const bool onThumb = ThumbRect().Contains(point);
    if (onThumb)
        ShowThumbCursor(true);
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = onThumb;
    Invalidate();
    SetRawPosition(PositionFromPoint(point.X, point.Y));
    Track();
}

void TMMCustomSlider::mouseMoveEvent(QMouseEvent* event)
{
    const TPoint point{event->position().toPoint().x(), event->position().toPoint().y()};
    if (!dragging_)
        ShowThumbCursor(ThumbRect().Contains(point));
    if ((event->buttons() & Qt::LeftButton) && dragging_ &&
        SetRawPosition(PositionFromPoint(point.X, point.Y)))
        Track();
}

void TMMCustomSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    Invalidate();
    TrackEnd();
}

void TMMCustomSlider::keyPressEvent(QKeyEvent* event)
{
    int value = rawPosition_;
    switch (event->key())
    {
    case Qt::Key_PageUp:
        value = std::min(rawPosition_ + pageSize_, maxValue_);
        break;
    case Qt::Key_PageDown:
        value = std::max(rawPosition_ - pageSize_, minValue_);
        break;
    case Qt::Key_End:
        value = Horizontal() ? maxValue_ : minValue_;
        break;
    case Qt::Key_Home:
        value = Horizontal() ? minValue_ : maxValue_;
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        if (rawPosition_ < maxValue_)
            value = rawPosition_ + lineSize_;
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        if (rawPosition_ > minValue_)
            value = rawPosition_ - lineSize_;
        break;
    default:
        TMMCustomControl::keyPressEvent(event);
        return;
    }
    if (SetRawPosition(value))
        Track();
}

void TMMCustomSlider::keyReleaseEvent(QKeyEvent* event)
{
    // Auto-repeat sends a release before every repeated press; the user
    // lets go only once.
    if (!event->isAutoRepeat())
        TrackEnd();
    TMMCustomControl::keyReleaseEvent(event);
}

void TMMCustomSlider::wheelEvent(QWheelEvent* event)
{
    event->accept();
    const int notches = wheelNotches_.Take(*event);
    // Each notch is one line step; the turn tracks and ends the way a drag
    // and its release do.
    if (notches != 0 && SetRawPosition(rawPosition_ + notches * lineSize_))
    {
        Track();
        TrackEnd();
    }
}

void TMMCustomSlider::focusInEvent(QFocusEvent*)
{
    FocusChanged();
}

void TMMCustomSlider::focusOutEvent(QFocusEvent*)
{
    FocusChanged();
}

void TMMCustomSlider::FocusChanged()
{
    if (focusAction_ == TMMFocusAction::faNone)
        return;
    UpdateBlinkTimer();
    Invalidate();
}

void TMMCustomSlider::UpdateBlinkTimer()
{
    const bool wanted =
        Focused() && !ComponentState().Contains(TComponentStateFlag::csDesigning) &&
        (focusAction_ == TMMFocusAction::faFocusThumb || focusAction_ == TMMFocusAction::faAll);
    if (BlinkTimer.Owner == this || (wanted && BlinkTimer.Owner != nullptr))
    {
        // The former owner stops blinking with its timer.
        TMMCustomSlider* former = BlinkTimer.Owner;
        delete BlinkTimer.Timer;
        BlinkTimer = {};
        former->blinkOn_ = false;
        former->Invalidate();
    }
    if (!wanted)
        return;
    BlinkTimer.Owner = this;
    BlinkTimer.Timer = new QTimer;
    QObject::connect(BlinkTimer.Timer, &QTimer::timeout, [this] { Blink(); });
    BlinkTimer.Timer->start(BlinkInterval);
}

void TMMCustomSlider::Blink()
{
    blinkOn_ = dragging_ ? true : !blinkOn_;
    Repaint();
}

void TMMCustomSlider::DropBlinkTimer()
{
    if (BlinkTimer.Owner != this)
        return;
    delete BlinkTimer.Timer;
    BlinkTimer = {};
}

} // namespace keb
