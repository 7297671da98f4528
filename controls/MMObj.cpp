// Part of the bevel and control bases (MMObj.h): TMMObject and TMMBevel.
#include "controls/MMObj.h"

#include <algorithm>
#include <utility>

namespace keb
{

void TMMObject::BeginUpdate()
{
    if (updateCount_ == 0)
        SetUpdateState(true);
    ++updateCount_;
}

void TMMObject::EndUpdate()
{
    --updateCount_;
    if (updateCount_ == 0)
        SetUpdateState(false);
}

void TMMObject::SetUpdateState(bool updating)
{
    if (!updating && std::exchange(changedWhileUpdating_, false))
        Changed();
}

void TMMObject::Changed()
{
    if (updateCount_ != 0)
        changedWhileUpdating_ = true;
    else if (OnChange)
        OnChange(this);
}

void TMMBevel::SetBevelInnerWidth(int value)
{
    Store(bevelInnerWidth_, std::max(value, 1));
}

void TMMBevel::SetBevelOuterWidth(int value)
{
    Store(bevelOuterWidth_, std::max(value, 1));
}

void TMMBevel::SetBorderWidth(int value)
{
    Store(borderWidth_, std::max(value, 0));
}

void TMMBevel::SetBorderSpace(int value)
{
    Store(borderSpace_, std::max(value, 0));
}

void TMMBevel::Assign(const TMMBevel& source)
{
    if (&source == this)
        return;
    BeginUpdate();
    struct TEndUpdateOnExit
    {
        TMMBevel& Bevel;
        ~TEndUpdateOnExit() { Bevel.EndUpdate(); }
    } endUpdate{*this};
    SetBevelInner(source.bevelInner_);
    SetBevelOuter(source.bevelOuter_);
    SetBevelInnerWidth(source.bevelInnerWidth_);
    SetBevelOuterWidth(source.bevelOuterWidth_);
    SetBorderStyle(source.borderStyle_);
    SetBorderWidth(source.borderWidth_);
    SetBorderSpace(source.borderSpace_);
    SetBorderColor(source.borderColor_);
    SetBorderSpaceColor(source.borderSpaceColor_);
    SetOuterLightColor(source.outerLightColor_);
    SetOuterShadowColor(source.outerShadowColor_);
    SetInnerLightColor(source.innerLightColor_);
    SetInnerShadowColor(source.innerShadowColor_);
}

int TMMBevel::BevelExtent() const
{
    int extent = borderWidth_ + borderSpace_;
    if (bevelOuter_ != TPanelBevel::bvNone)
        extent += bevelOuterWidth_;
    if (bevelInner_ != TPanelBevel::bvNone)
        extent += bevelInnerWidth_;
    if (borderStyle_ != TBorderStyle::bsNone)
        extent += 1;
    return extent;
}

namespace
{

TRect PaintCut(TCanvas& canvas, TRect rect, TPanelBevel cut, TColor light, TColor shadow, int width)
{
    switch (cut)
    {
    case TPanelBevel::bvLowered:
        return canvas.Frame3D(rect, shadow, light, width);
    case TPanelBevel::bvRaised:
        return canvas.Frame3D(rect, light, shadow, width);
    case TPanelBevel::bvNone:
        break;
    }
    return rect;
}

} // namespace

TRect TMMBevel::PaintBevel(TCanvas& canvas, TRect rect) const
{
    if (borderStyle_ == TBorderStyle::bsSingle)
        rect = canvas.Frame3D(rect, clWindowFrame, clWindowFrame, 1);
    rect =
        PaintCut(canvas, rect, bevelOuter_, outerLightColor_, outerShadowColor_, bevelOuterWidth_);
    rect = canvas.Frame3D(rect, borderColor_, borderColor_, borderWidth_);
    rect =
        PaintCut(canvas, rect, bevelInner_, innerLightColor_, innerShadowColor_, bevelInnerWidth_);
    return canvas.Frame3D(rect, borderSpaceColor_, borderSpaceColor_, borderSpace_);
}

} // namespace keb
