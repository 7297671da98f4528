// Part of the bevel and control bases (MMObj.h): TMMBevelControl and the three
// control bases built on it.
#include "controls/MMObj.h"

namespace keb
{

TMMBevelControl::TMMBevelControl(QWidget* parent) : TControl(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    Bevel_.OnChange = [this](TMMObject*) { BevelChanged(); };
}

TMMBevelControl::~TMMBevelControl()
{
    Bevel_.OnChange = nullptr;
}

TRect TMMBevelControl::GetInnerRect() const
{
    const int extent = BevelExtent();
    return ClientRect().Inflated(-extent, -extent);
}

void TMMBevelControl::Paint()
{
    TCanvas& canvas = *Canvas();
    const TRect inner = Bevel_.PaintBevel(canvas, ClientRect());
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
    if (caption == Caption_)
        return;
    Caption_ = caption;
    Invalidate();
}

void TMMCustomPanel::SetAlignment(TAlignment alignment)
{
    if (alignment == Alignment_)
        return;
    Alignment_ = alignment;
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
    const int textWidth = canvas.TextWidth(Caption_);
    int left = inner.Left;
    if (Alignment_ == TAlignment::taRightJustify)
        left = inner.Right - textWidth;
    else if (Alignment_ == TAlignment::taCenter)
        left = inner.Left + (inner.Width() - textWidth) / 2;
    canvas.TextOut(left, inner.Top + (inner.Height() - canvas.TextHeight("W")) / 2, Caption_);
}

} // namespace keb
