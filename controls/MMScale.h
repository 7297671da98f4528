// TMMScale: tick marks beside a slider's groove or around a wheel.
//
// A sub-object of its control: the control hands it a canvas (SetCanvas)
// before each drawing and listens to OnChange (fired by every setter that
// stores a new value, and once by Assign). Drawing without a canvas raises
// EMMScaleError "Canvas needed for this operation". TickCount is clamped to
// 2 and up, EnlargeEvery and Size to 1 and up. All ticks are drawn in Color.
// Main thread only.
#pragma once

#include "controls/MMObj.h"

namespace keb
{

KEB_EXCEPTION_CLASS(EMMScaleError, Exception);

enum class TMMScaleStyle
{
    stColor,
    stLowered,
    stRaised
};

enum class TMMScaleOrigin
{
    soInner,
    soOuter
};

class TMMScale : public TMMObject
{
  public:
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { Store(visible_, value); }
    TColor Color() const { return color_; }
    void SetColor(TColor value) { Store(color_, value); }
    TMMScaleStyle Style() const { return style_; }
    void SetStyle(TMMScaleStyle value) { Store(style_, value); }
    int TickCount() const { return tickCount_; }
    void SetTickCount(int value);
    int EnlargeEvery() const { return enlargeEvery_; }
    void SetEnlargeEvery(int value);
    int Size() const { return size_; } // pixels
    void SetSize(int value);           // pixels
    TMMScaleOrigin Origin() const { return origin_; }
    void SetOrigin(TMMScaleOrigin value) { Store(origin_, value); }
    bool Connect() const { return connect_; }
    void SetConnect(bool value) { Store(connect_, value); }

    // The angles of the first and the last tick of a circular scale (degrees,
    // counter-clockwise from the right); set by the owner, no notification.
    void SetAngles(int startAngle, int endAngle);

    // The canvas of the next drawing; not owned, nullptr clears it.
    void SetCanvas(TCanvas* canvas) { canvas_ = canvas; }

    // Copies the published properties and notifies once.
    void Assign(const TMMScale& source);

    // Thickness of a straight scale: Size, +1 with Connect, +1 more with
    // Connect and a 3-D style.
    int ScaleExtent() const; // pixels

    // A straight scale along the longer side of rect; facing is true when the
    // scale lies above or left of the element it measures.
    void DrawLinear(const TRect& rect, bool facing);
    // A circle of ticks inside rect from the start angle clockwise to the end angle.
    void DrawCircular(const TRect& rect);

  private:
    TCanvas& RequireCanvas() const;
    void DrawTick(TCanvas& canvas, TPoint from, TPoint to) const;
    int TickLength(int index) const;
    bool IsLong(int index) const { return index % enlargeEvery_ == 0; }

    bool visible_ = true;
    int startAngle_ = 0;
    int endAngle_ = 0;
    TColor color_ = clBlack;
    TCanvas* canvas_ = nullptr;
    TMMScaleStyle style_ = TMMScaleStyle::stColor;
    int tickCount_ = 11;
    int enlargeEvery_ = 5;
    int size_ = 7;
    TMMScaleOrigin origin_ = TMMScaleOrigin::soInner;
    bool connect_ = false;
};

} // namespace keb
