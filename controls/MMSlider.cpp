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
    scale_.SetVisible(false);
    scale_.SetOrigin(TMMScaleOrigin::soOuter);
    scale_.SetConnect(true);
    auto repaint = [this](auto*) { Invalidate(); };
    groove_.OnChange = repaint;
    scale_.OnChange = repaint;
    picLeft_.OnChange = repaint;
    picRight_.OnChange = repaint;
    SetTabStop(true);
    // Moves without a button pressed change the cursor over the thumb.
    setMouseTracking(true);
    SetBounds(Left(), Top(), 200, 40);
}

TMMCustomSlider::~TMMCustomSlider()
{
    DropBlinkTimer();
    TBitmapCache::Release(bitmap_);
}

void TMMCustomSlider::SetFocusAction(TMMFocusAction value)
{
    if (value == focusAction_)
        return;
    focusAction_ = value;
    UpdateBlinkTimer();
    Invalidate();
}

void TMMCustomSlider::SetRange(int minValue, int maxValue)
{
    if (minValue == minValue_ && maxValue == maxValue_)
        return;
    minValue_ = minValue;
    maxValue_ = ComponentState().IsLoading() ? maxValue : std::max(maxValue, minValue + 1);
    SetPosition(ClampInt(Position(), minValue_, maxValue_));
    Invalidate();
}

void TMMCustomSlider::SetOrientation(TMMOrientation value)
{
    if (value == orientation_)
        return;
    orientation_ = value;
    if (ComponentState().Contains(TComponentStateFlag::csDesigning))
    {
        std::swap(thumbWidth_, thumbHeight_);
        SetBounds(Left(), Top(), Height(), Width());
    }
    Invalidate();
}

int TMMCustomSlider::Position() const
{
    const int raw = ClampInt(rawPosition_, minValue_, maxValue_);
    const int range = maxValue_ - minValue_;
    if (!logarithmic_ || raw == 0 || range <= 0)
        return raw;
    const double s = -sensitivity_;
    const double value = range * std::pow(10.0, (raw * s / range - s) * 0.05);
    return ClampInt(int(std::lround(value)), minValue_, maxValue_);
}

void TMMCustomSlider::SetPosition(int value)
{
    const int range = maxValue_ - minValue_;
    // The logarithm needs a positive value; zero and below map linearly
    // (and are clamped to the range).
    if (!logarithmic_ || value <= 0 || range <= 0)
    {
        SetRawPosition(value);
        return;
    }
    const double s = -sensitivity_;
    const double raw = range * (20.0 * std::log10(double(value) / range) + s) / s;
    SetRawPosition(ClampInt(int(std::lround(raw)), minValue_, maxValue_));
}

bool TMMCustomSlider::SetRawPosition(int value)
{
    // Compared after clamping, so that an out-of-range value equal to the
    // current one after clamping fires nothing.
    value = ClampInt(value, minValue_, std::max(maxValue_, minValue_));
    if (value == rawPosition_)
        return false;
    rawPosition_ = value;
    if (ComponentState().IsLoading() ||
        ComponentState().Contains(TComponentStateFlag::csDesigning) ||
        ThumbRect(value) != paintedThumb_)
        Invalidate();
    Change();
    return true;
}

void TMMCustomSlider::SetGrooveSize(int value)
{
    StoreAndRepaint(grooveSize_, ClampInt(value, 0, 255));
}

void TMMCustomSlider::SetThumbWidth(int value)
{
    StoreAndRepaint(thumbWidth_, ClampInt(value, 0, 255));
}

void TMMCustomSlider::SetThumbHeight(int value)
{
    StoreAndRepaint(thumbHeight_, ClampInt(value, 0, 255));
}

void TMMCustomSlider::SetLogarithmic(bool value)
{
    if (value == logarithmic_)
        return;
    const int position = Position();
    logarithmic_ = value;
    SetPosition(position);
}

void TMMCustomSlider::SetSensitivity(int value)
{
    value = ClampInt(value, -96, -20);
    if (value == sensitivity_)
        return;
    const int position = Position();
    sensitivity_ = value;
    SetPosition(position);
}

void TMMCustomSlider::SetBounds(int left, int top, int width, int height)
{
    if (width != Width() || height != Height() || bitmap_ == nullptr)
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
    TBitmapCache::Release(bitmap_);
    bitmap_ = TBitmapCache::Acquire(width, height);
    Invalidate();
}

void TMMCustomSlider::resizeEvent(QResizeEvent*)
{
    SetOrientation(Width() >= Height() ? TMMOrientation::orHorizontal : TMMOrientation::orVertical);
}

int TMMCustomSlider::TrackSpan(const TRect& track) const
{
    return Horizontal() ? track.Width() - thumbWidth_ : track.Height() - thumbHeight_;
}

TMMCustomSlider::TLayout TMMCustomSlider::Layout(int raw) const
{
    TLayout layout;
    const TRect inner = GetInnerRect();
    TRect& track = layout.Track;
    track = inner;
    const bool scaleOnOneSide = scale_.Visible() && scalePosition_ != TMMScalePos::spBoth;
    // Across the track, pictures and thumb are centred, or kept away from a
    // scale on one side.
    auto across = [&](int start, int size, int itemSize)
    {
        if (!scaleOnOneSide)
            return start + size / 2 - itemSize / 2;
        return scalePosition_ == TMMScalePos::spBelowOrRight ? start : start + size - itemSize;
    };
    if (Horizontal())
    {
        const int picLeftTop = across(inner.Top, inner.Height(), picLeft_.Height());
        const int picRightTop = across(inner.Top, inner.Height(), picRight_.Height());
        layout.PicLeft = Bounds(inner.Left, picLeftTop, picLeft_.Width(), picLeft_.Height());
        layout.PicRight = Bounds(inner.Right - picRight_.Width(), picRightTop, picRight_.Width(),
                                 picRight_.Height());
        track.Left += picLeft_.Width();
        track.Right -= picRight_.Width();
    }
    else
    {
        const int picLeftLeft = across(inner.Left, inner.Width(), picLeft_.Width());
        const int picRightLeft = across(inner.Left, inner.Width(), picRight_.Width());
        layout.PicLeft = Bounds(picLeftLeft, inner.Top, picLeft_.Width(), picLeft_.Height());
        layout.PicRight = Bounds(picRightLeft, inner.Bottom - picRight_.Height(), picRight_.Width(),
                                 picRight_.Height());
        track.Top += picLeft_.Height();
        track.Bottom -= picRight_.Height();
    }

    const int span = TrackSpan(track);
    const int range = maxValue_ - minValue_;
    int offset = 0;
    if (range > 0)
        offset = int(std::lround(double(span) / range * (raw - minValue_)));
    offset = ClampInt(offset, 0, std::max(span, 0));

    const int grooveExtent = groove_.BevelExtent();
    const int grooveThickness = grooveSize_ + 2 * grooveExtent;
    if (Horizontal())
    {
        const int thumbTop = across(track.Top, track.Height(), thumbHeight_);
        layout.Thumb = Bounds(track.Left + offset, thumbTop, thumbWidth_, thumbHeight_);
        const int grooveTop =
            (scaleOnOneSide ? thumbTop + thumbHeight_ / 2 : track.Top + track.Height() / 2) -
            grooveExtent - grooveSize_ / 2;
        layout.Groove = {track.Left, grooveTop, track.Right, grooveTop + grooveThickness};
    }
    else
    {
        const int thumbLeft = across(track.Left, track.Width(), thumbWidth_);
        layout.Thumb = Bounds(thumbLeft, track.Top + (span - offset), thumbWidth_, thumbHeight_);
        const int grooveLeft =
            (scaleOnOneSide ? thumbLeft + thumbWidth_ / 2 : track.Left + track.Width() / 2) -
            grooveExtent - grooveSize_ / 2;
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
    const TRect track = Layout(rawPosition_).Track;
    const int span = TrackSpan(track);
    if (span <= 0)
        return minValue_;
    const double along = Horizontal() ? x - track.Left - thumbWidth_ / 2
                                      : track.Bottom + thumbHeight_ / 2 - thumbHeight_ - y;
    const long value = std::lround(along / span * (maxValue_ - minValue_) + minValue_);
    return int(std::clamp<long>(value, minValue_, std::max(maxValue_, minValue_)));
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
    tracking_ = true;
    if (OnTrack)
        OnTrack(this);
}

void TMMCustomSlider::TrackEnd()
{
    if (!tracking_)
        return;
    if (OnTrackEnd)
        OnTrackEnd(this);
    tracking_ = false;
}

void TMMCustomSlider::DrawThumb(TCanvas& canvas, const TRect& rect)
{
    if (OnDrawThumb)
        OnDrawThumb(this, canvas, rect, blinkOn_, dragging_);
}

void TMMCustomSlider::DrawGroove(TCanvas& canvas, const TRect& rect)
{
    if (OnDrawGroove)
        OnDrawGroove(this, canvas, rect);
}

} // namespace keb
