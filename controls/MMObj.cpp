// Part of the bevel and control bases (MMObj.h): TMMObject and TMMBevel.
#include "controls/MMObj.h"

#include <algorithm>
#include <utility>

namespace keb
{

void TMMObject::BeginUpdate()
{
    if (UpdateCount_ == 0)
        SetUpdateState(true);
    ++UpdateCount_;
}

void TMMObject::EndUpdate()
{
    --UpdateCount_;
    if (UpdateCount_ == 0)
        SetUpdateState(false);
}

void TMMObject::SetUpdateState(bool updating)
{
    if (!updating && std::exchange(ChangedWhileUpdating_, false))
        Changed();
}

void TMMObject::Changed()
{
    if (UpdateCount_ != 0)
        ChangedWhileUpdating_ = true;
    else if (OnChange)
        OnChange(this);
}

void TMMBevel::SetBevelInnerWidth(int value)
{
    Store(BevelInnerWidth_, std::max(value, 1));
}

void TMMBevel::SetBevelOuterWidth(int value)
{
    Store(BevelOuterWidth_, std::max(value, 1));
}

void TMMBevel::SetBorderWidth(int value)
{
    Store(BorderWidth_, std::max(value, 0));
}

void TMMBevel::SetBorderSpace(int value)
{
    Store(BorderSpace_, std::max(value, 0));
}

void TMMBevel::Assign(const TMMBevel& source)
{
    if (&source == this)
        return;
    BeginUpdate();
    struct EndUpdateOnExit
    {
        TMMBevel& Bevel;
        ~EndUpdateOnExit() { Bevel.EndUpdate(); }
    } endUpdate{*this};
    SetBevelInner(source.BevelInner_);
    SetBevelOuter(source.BevelOuter_);
    SetBevelInnerWidth(source.BevelInnerWidth_);
    SetBevelOuterWidth(source.BevelOuterWidth_);
    SetBorderStyle(source.BorderStyle_);
    SetBorderWidth(source.BorderWidth_);
    SetBorderSpace(source.BorderSpace_);
    SetBorderColor(source.BorderColor_);
    SetBorderSpaceColor(source.BorderSpaceColor_);
    SetOuterLightColor(source.OuterLightColor_);
    SetOuterShadowColor(source.OuterShadowColor_);
    SetInnerLightColor(source.InnerLightColor_);
    SetInnerShadowColor(source.InnerShadowColor_);
}

int TMMBevel::BevelExtent() const
{
    int extent = BorderWidth_ + BorderSpace_;
    if (BevelOuter_ != TPanelBevel::bvNone)
        extent += BevelOuterWidth_;
    if (BevelInner_ != TPanelBevel::bvNone)
        extent += BevelInnerWidth_;
    if (BorderStyle_ != TBorderStyle::bsNone)
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
    if (BorderStyle_ == TBorderStyle::bsSingle)
        rect = canvas.Frame3D(rect, clWindowFrame, clWindowFrame, 1);
    rect =
        PaintCut(canvas, rect, BevelOuter_, OuterLightColor_, OuterShadowColor_, BevelOuterWidth_);
    rect = canvas.Frame3D(rect, BorderColor_, BorderColor_, BorderWidth_);
    rect =
        PaintCut(canvas, rect, BevelInner_, InnerLightColor_, InnerShadowColor_, BevelInnerWidth_);
    return canvas.Frame3D(rect, BorderSpaceColor_, BorderSpaceColor_, BorderSpace_);
}

} // namespace keb
