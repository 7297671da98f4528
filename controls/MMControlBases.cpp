// Part of the bevel and control bases (MMObj.h): TMMBevelControl and the three
// control bases built on it.
#include "controls/MMObj.h"

namespace keb
{

TMMBevelControl::TMMBevelControl(QWidget* parent) : TControl(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    bevel_.OnChange = [this](TMMObject*) { BevelChanged(); };
}

TMMBevelControl::~TMMBevelControl()
{
    bevel_.OnChange = nullptr;
}

TRect TMMBevelControl::GetInnerRect() const
{
    const int extent = BevelExtent();
    return ClientRect().Inflated(-extent, -extent);
}

void TMMBevelControl::Paint()
{
    TCanvas& canvas = *Canvas();
    const TRect inner = bevel_.PaintBevel(canvas, ClientRect());
    canvas.FillRect(inner, Color());
}

TMMCustomControl::TMMCustomControl(QWidget* parent) : TMMBevelControl(parent)
{
    setFocusPolicy(Qt::ClickFocus);
}

TMMGraphicControl::TMMGraphicControl(QWidget* parent) : TMMBevelControl(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

TMMCustomPanel::TMMCustomPanel(QWidget* parent) : TMMBevelControl(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    AlignControls();
}

void TMMCustomPanel::SetCaption(const QString& caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    Invalidate();
}

void TMMCustomPanel::SetAlignment(TAlignment alignment)
{
    if (alignment == alignment_)
        return;
    alignment_ = alignment;
    Invalidate();
}

void TMMCustomPanel::BevelChanged()
{
    AlignControls();
    TMMBevelControl::BevelChanged();
}

void TMMCustomPanel::AlignControls()
{
    const int extent = BevelExtent();
    setContentsMargins(extent, extent, extent, extent);
}

void TMMCustomPanel::Paint()
{
    if (OnPaint)
    {
        OnPaint(this);
        return;
    }
    TMMBevelControl::Paint();
    TCanvas& canvas = *Canvas();
    const TRect inner = GetInnerRect();
    canvas.SetFont(font());
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    const int textWidth = canvas.TextWidth(caption_);
    int left = inner.Left;
    if (alignment_ == TAlignment::taRightJustify)
        left = inner.Right - textWidth;
    else if (alignment_ == TAlignment::taCenter)
        left = inner.Left + (inner.Width() - textWidth) / 2;
    canvas.TextOut(left, inner.Top + (inner.Height() - canvas.TextHeight("W")) / 2, caption_);
}

} // namespace keb
