#include "controls/MMSlider.h"

#include "controls/BitmapCache.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace keb
{

namespace
{

int ClampInt(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

// One blink timer for all sliders: only the focused slider blinks.
struct TBlinkTimer
{
    QTimer* Timer = nullptr;
    TMMCustomSlider* Owner = nullptr;
};
TBlinkTimer BlinkTimer;

constexpr int BlinkInterval = 500;

} // namespace

TMMCustomSlider::TMMCustomSlider(QWidget* parent) : TMMCustomControl(parent)
{
    Bevel().SetBorderWidth(5);
    Scale_.SetVisible(false);
    Scale_.SetOrigin(TMMScaleOrigin::soOuter);
    Scale_.SetConnect(true);
    auto repaint = [this](auto*) { Invalidate(); };
    Groove_.OnChange = repaint;
    Scale_.OnChange = repaint;
    PicLeft_.OnChange = repaint;
    PicRight_.OnChange = repaint;
    SetTabStop(true);
    // Moves without a button pressed change the cursor over the thumb.
    setMouseTracking(true);
    SetBounds(Left(), Top(), 200, 40);
}

TMMCustomSlider::~TMMCustomSlider()
{
    if (BlinkTimer.Owner == this)
    {
        delete BlinkTimer.Timer;
        BlinkTimer = {};
    }
    TBitmapCache::Release(Bitmap_);
}

void TMMCustomSlider::SetFocusAction(TMMFocusAction value)
{
    if (value == FocusAction_)
        return;
    FocusAction_ = value;
    UpdateBlinkTimer();
    Invalidate();
}

void TMMCustomSlider::SetRange(int minValue, int maxValue)
{
    if (minValue == MinValue_ && maxValue == MaxValue_)
        return;
    MinValue_ = minValue;
    MaxValue_ = ComponentState().IsLoading() ? maxValue : std::max(maxValue, minValue + 1);
    SetPosition(ClampInt(Position(), MinValue_, MaxValue_));
    Invalidate();
}

void TMMCustomSlider::SetOrientation(TMMOrientation value)
{
    if (value == Orientation_)
        return;
    Orientation_ = value;
    if (ComponentState().Contains(TComponentStateFlag::csDesigning))
    {
        std::swap(ThumbWidth_, ThumbHeight_);
        SetBounds(Left(), Top(), Height(), Width());
    }
    Invalidate();
}

int TMMCustomSlider::Position() const
{
    const int raw = ClampInt(RawPosition_, MinValue_, MaxValue_);
    const int range = MaxValue_ - MinValue_;
    if (!Logarithmic_ || raw == 0 || range <= 0)
        return raw;
    const double s = -Sensitivity_;
    const double value = range * std::pow(10.0, (raw * s / range - s) * 0.05);
    return ClampInt(int(std::lround(value)), MinValue_, MaxValue_);
}

void TMMCustomSlider::SetPosition(int value)
{
    const int range = MaxValue_ - MinValue_;
    // The logarithm needs a positive value; zero and below map linearly
    // (and are clamped to the range).
    if (!Logarithmic_ || value <= 0 || range <= 0)
    {
        SetRawPosition(value);
        return;
    }
    const double s = -Sensitivity_;
    const double raw = range * (20.0 * std::log10(double(value) / range) + s) / s;
    SetRawPosition(ClampInt(int(std::lround(raw)), MinValue_, MaxValue_));
}

bool TMMCustomSlider::SetRawPosition(int value)
{
    // Compared after clamping, so that an out-of-range value equal to the
    // current one after clamping fires nothing.
    value = ClampInt(value, MinValue_, std::max(MaxValue_, MinValue_));
    if (value == RawPosition_)
        return false;
    RawPosition_ = value;
    if (ComponentState().IsLoading() ||
        ComponentState().Contains(TComponentStateFlag::csDesigning) ||
        ThumbRect(value) != PaintedThumb_)
        Invalidate();
    Change();
    return true;
}

void TMMCustomSlider::SetGrooveSize(int value)
{
    StoreAndRepaint(GrooveSize_, ClampInt(value, 0, 255));
}

void TMMCustomSlider::SetThumbWidth(int value)
{
    StoreAndRepaint(ThumbWidth_, ClampInt(value, 0, 255));
}

void TMMCustomSlider::SetThumbHeight(int value)
{
    StoreAndRepaint(ThumbHeight_, ClampInt(value, 0, 255));
}

void TMMCustomSlider::SetLogarithmic(bool value)
{
    if (value == Logarithmic_)
        return;
    const int position = Position();
    Logarithmic_ = value;
    SetPosition(position);
}

void TMMCustomSlider::SetSensitivity(int value)
{
    value = ClampInt(value, -96, -20);
    if (value == Sensitivity_)
        return;
    const int position = Position();
    Sensitivity_ = value;
    SetPosition(position);
}

void TMMCustomSlider::SetBounds(int left, int top, int width, int height)
{
    if (width != Width() || height != Height() || Bitmap_ == nullptr)
        ReacquireBitmap(width, height);
    TMMCustomControl::SetBounds(left, top, width, height);
}

void TMMCustomSlider::Loaded()
{
    TMMCustomControl::Loaded();
    ReacquireBitmap(Width(), Height());
}

void TMMCustomSlider::ReacquireBitmap(int width, int height)
{
    if (ComponentState().IsLoading())
        return;
    TBitmapCache::Release(Bitmap_);
    Bitmap_ = TBitmapCache::Acquire(width, height);
    Invalidate();
}

void TMMCustomSlider::resizeEvent(QResizeEvent*)
{
    SetOrientation(Width() >= Height() ? TMMOrientation::orHorizontal : TMMOrientation::orVertical);
}

int TMMCustomSlider::TrackSpan(const TRect& track) const
{
    return Horizontal() ? track.Width() - ThumbWidth_ : track.Height() - ThumbHeight_;
}

TMMCustomSlider::TLayout TMMCustomSlider::Layout(int raw) const
{
    TLayout layout;
    const TRect inner = GetInnerRect();
    TRect& track = layout.Track;
    track = inner;
    const bool scaleOnOneSide = Scale_.Visible() && ScalePosition_ != TMMScalePos::spBoth;
    // Across the track, pictures and thumb are centred, or kept away from a
    // scale on one side.
    auto across = [&](int start, int size, int itemSize)
    {
        if (!scaleOnOneSide)
            return start + size / 2 - itemSize / 2;
        return ScalePosition_ == TMMScalePos::spBelowOrRight ? start : start + size - itemSize;
    };
    if (Horizontal())
    {
        const int picLeftTop = across(inner.Top, inner.Height(), PicLeft_.Height());
        const int picRightTop = across(inner.Top, inner.Height(), PicRight_.Height());
        layout.PicLeft = Bounds(inner.Left, picLeftTop, PicLeft_.Width(), PicLeft_.Height());
        layout.PicRight = Bounds(inner.Right - PicRight_.Width(), picRightTop, PicRight_.Width(),
                                 PicRight_.Height());
        track.Left += PicLeft_.Width();
        track.Right -= PicRight_.Width();
    }
    else
    {
        const int picLeftLeft = across(inner.Left, inner.Width(), PicLeft_.Width());
        const int picRightLeft = across(inner.Left, inner.Width(), PicRight_.Width());
        layout.PicLeft = Bounds(picLeftLeft, inner.Top, PicLeft_.Width(), PicLeft_.Height());
        layout.PicRight = Bounds(picRightLeft, inner.Bottom - PicRight_.Height(), PicRight_.Width(),
                                 PicRight_.Height());
        track.Top += PicLeft_.Height();
        track.Bottom -= PicRight_.Height();
    }

    const int span = TrackSpan(track);
    const int range = MaxValue_ - MinValue_;
    int offset = 0;
    if (range > 0)
        offset = int(std::lround(double(span) / range * (raw - MinValue_)));
    offset = ClampInt(offset, 0, std::max(span, 0));

    const int grooveExtent = Groove_.BevelExtent();
    const int grooveThickness = GrooveSize_ + 2 * grooveExtent;
    if (Horizontal())
    {
        const int thumbTop = across(track.Top, track.Height(), ThumbHeight_);
        layout.Thumb = Bounds(track.Left + offset, thumbTop, ThumbWidth_, ThumbHeight_);
        const int grooveTop =
            (scaleOnOneSide ? thumbTop + ThumbHeight_ / 2 : track.Top + track.Height() / 2) -
            grooveExtent - GrooveSize_ / 2;
        layout.Groove = {track.Left, grooveTop, track.Right, grooveTop + grooveThickness};
    }
    else
    {
        const int thumbLeft = across(track.Left, track.Width(), ThumbWidth_);
        layout.Thumb = Bounds(thumbLeft, track.Top + (span - offset), ThumbWidth_, ThumbHeight_);
        const int grooveLeft =
            (scaleOnOneSide ? thumbLeft + ThumbWidth_ / 2 : track.Left + track.Width() / 2) -
            grooveExtent - GrooveSize_ / 2;
        layout.Groove = {grooveLeft, track.Top, grooveLeft + grooveThickness, track.Bottom};
    }
    return layout;
}

TRect TMMCustomSlider::ThumbRect(int raw) const
{
    return Layout(raw).Thumb;
}

int TMMCustomSlider::PositionFromPoint(int x, int y) const
{
    const TRect track = Layout(RawPosition_).Track;
    const int span = TrackSpan(track);
    if (span <= 0)
        return MinValue_;
    const double along = Horizontal() ? x - track.Left - ThumbWidth_ / 2
                                      : track.Bottom + ThumbHeight_ / 2 - ThumbHeight_ - y;
    const long value = std::lround(along / span * (MaxValue_ - MinValue_) + MinValue_);
    return int(std::clamp<long>(value, MinValue_, std::max(MaxValue_, MinValue_)));
}

void TMMCustomSlider::Change()
{
    if (!ComponentState().IsLoading() && OnChange)
        OnChange(this);
}

void TMMCustomSlider::Track()
{
    Tracking_ = true;
    if (OnTrack)
        OnTrack(this);
}

void TMMCustomSlider::TrackEnd()
{
    if (!Tracking_)
        return;
    if (OnTrackEnd)
        OnTrackEnd(this);
    Tracking_ = false;
}

void TMMCustomSlider::DrawThumb(TCanvas& canvas, const TRect& rect)
{
    if (OnDrawThumb)
        OnDrawThumb(this, canvas, rect, BlinkOn_, Dragging_);
}

void TMMCustomSlider::DrawGroove(TCanvas& canvas, const TRect& rect)
{
    if (OnDrawGroove)
        OnDrawGroove(this, canvas, rect);
}

void TMMCustomSlider::Paint()
{
    if (Bitmap_ == nullptr || Bitmap_->Empty())
        return;
    {
        TCanvas canvas(*Bitmap_);
        const TRect inner = Bevel().PaintBevel(canvas, ClientRect());
        canvas.FillRect(inner, Color());
        const TLayout layout = Layout(RawPosition_);
        canvas.DrawTransparent(layout.PicLeft, PicLeft_);
        canvas.DrawTransparent(layout.PicRight, PicRight_);
        if (Scale_.Visible())
            PaintScale(canvas, layout);
        PaintGroove(canvas, layout.Groove);
        PaintFocusRect(canvas);
        PaintThumb(canvas, layout.Thumb);
        PaintedThumb_ = layout.Thumb;
    }
    Canvas()->Draw(0, 0, *Bitmap_);
}

void TMMCustomSlider::PaintScale(TCanvas& canvas, const TLayout& layout)
{
    const int extent = Scale_.ScaleExtent();
    // The scale runs between the thumb's centres at both ends of the track.
    const TRect& track = layout.Track;
    const TRect& groove = layout.Groove;
    const int distance = Horizontal() ? ScaleDistance_ + 1 : ScaleDistance_;
    const bool before = ScalePosition_ != TMMScalePos::spBelowOrRight;
    const bool after = ScalePosition_ != TMMScalePos::spAboveOrLeft;
    Scale_.SetCanvas(&canvas);
    if (Horizontal())
    {
        const int left = track.Left + ThumbWidth_ / 2;
        const int right = left + TrackSpan(track);
        if (before)
            Scale_.DrawLinear({left, groove.Top - distance - extent, right, groove.Top - distance},
                              true);
        if (after)
            Scale_.DrawLinear(
                {left, groove.Bottom + distance, right, groove.Bottom + distance + extent}, false);
    }
    else
    {
        const int top = track.Top + ThumbHeight_ / 2;
        const int bottom = top + TrackSpan(track);
        if (before)
            Scale_.DrawLinear(
                {groove.Left - distance - extent, top, groove.Left - distance, bottom}, true);
        if (after)
            Scale_.DrawLinear(
                {groove.Right + distance, top, groove.Right + distance + extent, bottom}, false);
    }
    Scale_.SetCanvas(nullptr);
}

bool TMMCustomSlider::ShowsFocusColor() const
{
    return Focused() &&
           (FocusAction_ == TMMFocusAction::faFocusColor || FocusAction_ == TMMFocusAction::faAll);
}

void TMMCustomSlider::PaintGroove(TCanvas& canvas, const TRect& groove)
{
    if (GrooveStyle_ == TMMGrooveStyle::gsOwnerDraw)
    {
        const int extent = Groove_.BevelExtent();
        DrawGroove(canvas,
                   Horizontal() ? groove.Inflated(0, -extent) : groove.Inflated(-extent, 0));
        return;
    }
    const TRect inside = Groove_.PaintBevel(canvas, groove);
    canvas.FillRect(inside, ShowsFocusColor() ? FocusColor_ : GrooveColor_);
}

void TMMCustomSlider::PaintFocusRect(TCanvas& canvas)
{
    if (!Focused() ||
        (FocusAction_ != TMMFocusAction::faFocusRect && FocusAction_ != TMMFocusAction::faAll))
        return;
    // The rectangle goes into the flat border where there is one, so the
    // groove and thumb do not cover it.
    const TMMBevel& bevel = Bevel();
    const bool roomOutside =
        (bevel.BorderWidth() > 0 && bevel.BevelInner() == TPanelBevel::bvNone) ||
        bevel.BorderSpace() > 0;
    const int grow = roomOutside ? 1 : 0;
    canvas.DrawFocusRect(GetInnerRect().Inflated(grow, grow));
}

void TMMCustomSlider::PaintThumb(TCanvas& canvas, TRect rect)
{
    if (ThumbStyle_ == TMMThumbStyle::tsOwnerDraw)
    {
        DrawThumb(canvas, rect);
        return;
    }
    if (rect.IsEmpty())
        return;
    if (ThumbBorder_)
        rect = canvas.Frame3D(rect, clWindowFrame, clWindowFrame, 1);
    else
    {
        canvas.FillRect({rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, clWindowFrame);
        canvas.FillRect({rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, clWindowFrame);
        rect.Right -= 1;
        rect.Bottom -= 1;
    }
    if (rect.IsEmpty())
        return;
    const TRect face = canvas.Frame3D(rect, clBtnHighlight, clBtnShadow, 1);
    canvas.SetPixel(rect.Right - 1, rect.Top, clBtnHighlight);
    canvas.SetPixel(rect.Left, rect.Bottom - 1, clBtnHighlight);
    canvas.FillRect(face, ThumbColor_);
    const bool disabled = !isEnabled();
    if (!disabled && !BlinkOn_)
        return;
    const TColor dots = disabled ? DisabledColor_ : clBlack;
    for (int y = face.Top; y < face.Bottom; ++y)
        for (int x = face.Left + ((face.Left ^ y) & 1); x < face.Right; x += 2)
            canvas.SetPixel(x, y, dots);
}

void TMMCustomSlider::ShowThumbCursor(bool overThumb)
{
    SetScreenCursor(!overThumb ? crDefault : HandCursor_ ? crLibraryHand : ThumbCursor_);
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
    Dragging_ = onThumb;
    Invalidate();
    SetRawPosition(PositionFromPoint(point.X, point.Y));
    Track();
}

void TMMCustomSlider::mouseMoveEvent(QMouseEvent* event)
{
    const TPoint point{event->position().toPoint().x(), event->position().toPoint().y()};
    if (!Dragging_)
        ShowThumbCursor(ThumbRect().Contains(point));
    if ((event->buttons() & Qt::LeftButton) && Dragging_ &&
        SetRawPosition(PositionFromPoint(point.X, point.Y)))
        Track();
}

void TMMCustomSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Dragging_ = false;
    Invalidate();
    TrackEnd();
}

void TMMCustomSlider::keyPressEvent(QKeyEvent* event)
{
    int value = RawPosition_;
    switch (event->key())
    {
    case Qt::Key_PageUp:
        value = std::min(RawPosition_ + PageSize_, MaxValue_);
        break;
    case Qt::Key_PageDown:
        value = std::max(RawPosition_ - PageSize_, MinValue_);
        break;
    case Qt::Key_End:
        value = Horizontal() ? MaxValue_ : MinValue_;
        break;
    case Qt::Key_Home:
        value = Horizontal() ? MinValue_ : MaxValue_;
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        if (RawPosition_ < MaxValue_)
            value = RawPosition_ + LineSize_;
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        if (RawPosition_ > MinValue_)
            value = RawPosition_ - LineSize_;
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
    if (FocusAction_ == TMMFocusAction::faNone)
        return;
    UpdateBlinkTimer();
    Invalidate();
}

void TMMCustomSlider::UpdateBlinkTimer()
{
    const bool wanted =
        Focused() && !ComponentState().Contains(TComponentStateFlag::csDesigning) &&
        (FocusAction_ == TMMFocusAction::faFocusThumb || FocusAction_ == TMMFocusAction::faAll);
    if (BlinkTimer.Owner == this || (wanted && BlinkTimer.Owner != nullptr))
    {
        // The former owner stops blinking with its timer.
        TMMCustomSlider* former = BlinkTimer.Owner;
        delete BlinkTimer.Timer;
        BlinkTimer = {};
        former->BlinkOn_ = false;
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
    BlinkOn_ = Dragging_ ? true : !BlinkOn_;
    Repaint();
}

} // namespace keb
