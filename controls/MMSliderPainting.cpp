// Part of TMMSlider (MMSlider.h): the painting: bevel, pictures, scale,
// groove, focus and thumb, drawn into the shared off-screen bitmap and then
// copied to the screen.
#include "controls/MMSlider.h"

namespace keb
{

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

} // namespace keb
