// Part of TMMSlider (MMSlider.h): properties, layout and events.
#include "controls/MMSlider.h"

#include "controls/AccessibleControls.h"
#include "controls/BitmapCache.h"

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
    DropBlinkTimer();
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
    if (ComponentState().IsLoading())
        return;
    AnnounceValueChange(this, Position());
    if (OnChange)
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

} // namespace keb
