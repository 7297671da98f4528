// Part of TMMSlider (MMSlider.h): the painting: bevel, pictures, scale,
// groove, focus and thumb, drawn into the shared off-screen bitmap and then
// copied to the screen.
#include "controls/MMSlider.h"

namespace keb
{

void TMMCustomSlider::Paint()
{
    if (bitmap_ == nullptr || bitmap_->Empty())
        return;
    {
        TCanvas canvas(*bitmap_);
        const TRect inner = Bevel().PaintBevel(canvas, ClientRect());
        canvas.FillRect(inner, Color());
        const TLayout layout = Layout(rawPosition_);
        canvas.DrawTransparent(layout.PicLeft, picLeft_);
        canvas.DrawTransparent(layout.PicRight, picRight_);
        if (scale_.Visible())
            PaintScale(canvas, layout);
        PaintGroove(canvas, layout.Groove);
        PaintFocusRect(canvas);
        PaintThumb(canvas, layout.Thumb);
        paintedThumb_ = layout.Thumb;
    }
    Canvas()->Draw(0, 0, *bitmap_);
}

void TMMCustomSlider::PaintScale(TCanvas& canvas, const TLayout& layout)
{
    const int extent = scale_.ScaleExtent();
    // The scale runs between the thumb's centres at both ends of the track.
    const TRect& track = layout.Track;
    const TRect& groove = layout.Groove;
    const int distance = Horizontal() ? scaleDistance_ + 1 : scaleDistance_;
    const bool before = scalePosition_ != TMMScalePos::spBelowOrRight;
    const bool after = scalePosition_ != TMMScalePos::spAboveOrLeft;
    scale_.SetCanvas(&canvas);
    if (Horizontal())
    {
        const int left = track.Left + thumbWidth_ / 2;
        const int right = left + TrackSpan(track);
        if (before)
            scale_.DrawLinear({left, groove.Top - distance - extent, right, groove.Top - distance},
                              true);
        if (after)
            scale_.DrawLinear(
                {left, groove.Bottom + distance, right, groove.Bottom + distance + extent}, false);
    }
    else
    {
        const int top = track.Top + thumbHeight_ / 2;
        const int bottom = top + TrackSpan(track);
        if (before)
            scale_.DrawLinear(
                {groove.Left - distance - extent, top, groove.Left - distance, bottom}, true);
        if (after)
            scale_.DrawLinear(
                {groove.Right + distance, top, groove.Right + distance + extent, bottom}, false);
    }
    scale_.SetCanvas(nullptr);
}

bool TMMCustomSlider::ShowsFocusColor() const
{
    return Focused() &&
           (focusAction_ == TMMFocusAction::faFocusColor || focusAction_ == TMMFocusAction::faAll);
}

void TMMCustomSlider::PaintGroove(TCanvas& canvas, const TRect& groove)
{
    if (grooveStyle_ == TMMGrooveStyle::gsOwnerDraw)
    {
        const int extent = groove_.BevelExtent();
        DrawGroove(canvas,
                   Horizontal() ? groove.Inflated(0, -extent) : groove.Inflated(-extent, 0));
        return;
    }
    const TRect inside = groove_.PaintBevel(canvas, groove);
    canvas.FillRect(inside, ShowsFocusColor() ? focusColor_ : grooveColor_);
}

void TMMCustomSlider::PaintFocusRect(TCanvas& canvas)
{
    if (!Focused() ||
        (focusAction_ != TMMFocusAction::faFocusRect && focusAction_ != TMMFocusAction::faAll))
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
    if (thumbStyle_ == TMMThumbStyle::tsOwnerDraw)
    {
        DrawThumb(canvas, rect);
        return;
    }
    if (rect.IsEmpty())
        return;
    if (thumbBorder_)
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
    canvas.FillRect(face, thumbColor_);
    const bool disabled = !isEnabled();
    if (!disabled && !blinkOn_)
        return;
    const TColor dots = disabled ? disabledColor_ : clBlack;
    for (int y = face.Top; y < face.Bottom; ++y)
        for (int x = face.Left + ((face.Left ^ y) & 1); x < face.Right; x += 2)
            canvas.SetPixel(x, y, dots);
}

} // namespace keb
