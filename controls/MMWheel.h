// TMMWheel: a focusable rotary knob.
//
// A knob picture (BackBmp, by default the built-in 32 x 32 knob) with a
// circular scale around it and a small handle that shows Value as an angle:
// MinValue at StartAngle, running clockwise to MaxValue at EndAngle (degrees,
// 0 = right, 90 = up); the gap between them at the bottom is a dead zone.
// The value changes by dragging around the centre (or up and down with
// UpDown), by keys (Page Up/Down, arrows, Home = MaxValue, End = MinValue),
// by the mouse's scroll wheel (LineStep per notch, forwards up) or by
// program; every change fires OnChange (not while loading).
//
// With AutoSize (the default) the control's size follows the picture:
// picture + 2 x (BevelExtent + FrameSpace + scale size + ScaleMargin), and
// SetBounds keeps that size whatever it is given.
//
// Clamped silently: Value to the range (the range itself is not checked and
// does not re-clamp Value), the angles to 0 .. 360, Radius, FrameSpace,
// ScaleMargin, HandleMargin to 0 and up, HandleSize to 2 and up. ScrollSize,
// LineStep and PageStep below 1 raise EMMWheelError. Main thread only.
//
// Implemented in: MMWheel.cpp (properties, sizing, input and painting),
// WheelPicture.cpp (the built-in knob picture).
#pragma once

#include "controls/MMObj.h"
#include "controls/MMScale.h"
#include "controls/WheelNotches.h"

#include <functional>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMWheelError, Exception);

// How the focused wheel shows its focus.
enum class TMMWheelFocusAction
{
    faHandleColor,
    faFrameRect,
    faAll
};

enum class TMMHandleStyle
{
    hsEllipse,
    hsOwnerDraw
};

// The built-in knob picture (32 x 32, transparent colour in its corners).
const TBitmap& BuiltInWheelPicture();

class TMMCustomWheel : public TMMCustomControl
{
  public:
    using TNotifyEvent = std::function<void(TMMCustomWheel* sender)>;
    using TDrawHandleEvent =
        std::function<void(TMMCustomWheel* sender, TCanvas& canvas, const TRect& clientRect,
                           TPoint handle, bool focused)>;

    explicit TMMCustomWheel(QWidget* parent = nullptr);

    TNotifyEvent OnChange;
    TDrawHandleEvent OnDrawHandle;

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    const TBitmap& BackBmp() const { return backBmp_; }
    // An empty picture restores the built-in knob.
    void SetBackBmp(const TBitmap& value);
    TMMScale& Scale() { return scale_; }
    void SetScale(const TMMScale& value) { scale_.Assign(value); }

    int MinValue() const { return minValue_; }
    void SetMinValue(int value) { StoreAndUpdate(minValue_, value); }
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value) { StoreAndUpdate(maxValue_, value); }
    int Value() const { return value_; }
    void SetValue(int value);
    int StartAngle() const { return startAngle_; } // degrees
    void SetStartAngle(int value);                 // degrees
    int EndAngle() const { return endAngle_; }     // degrees
    void SetEndAngle(int value);                   // degrees
    TColor HandleColor() const { return handleColor_; }
    void SetHandleColor(TColor value) { StoreAndUpdate(handleColor_, value); }
    TColor FocusedColor() const { return focusedColor_; }
    void SetFocusedColor(TColor value) { StoreAndUpdate(focusedColor_, value); }
    TMMWheelFocusAction FocusAction() const { return focusAction_; }
    void SetFocusAction(TMMWheelFocusAction value);
    bool UpDown() const { return upDown_; }
    void SetUpDown(bool value) { upDown_ = value; }
    int ScrollSize() const { return scrollSize_; } // pixels of drag over the whole range
    void SetScrollSize(int value);                 // pixels of drag over the whole range
    int LineStep() const { return lineStep_; }
    void SetLineStep(int value);
    int PageStep() const { return pageStep_; }
    void SetPageStep(int value);
    // The handle's distance from the centre: the stored value, or with 0 the
    // largest that keeps HandleMargin from the picture's edge.
    int Radius() const;        // pixels
    void SetRadius(int value); // pixels
    TMMHandleStyle HandleStyle() const { return handleStyle_; }
    void SetHandleStyle(TMMHandleStyle value) { StoreAndUpdate(handleStyle_, value); }
    int HandleSize() const { return handleSize_; }     // pixels
    void SetHandleSize(int value);                     // pixels
    int HandleMargin() const { return handleMargin_; } // pixels
    void SetHandleMargin(int value);                   // pixels
    int FrameSpace() const { return frameSpace_; }     // pixels
    void SetFrameSpace(int value);                     // pixels
    int ScaleMargin() const { return scaleMargin_; }   // pixels
    void SetScaleMargin(int value);                    // pixels

    void SetColor(TColor color) override;
    void SetBounds(int left, int top, int width, int height) override;
    void Loaded() override;

    // The angle at which the handle shows Value (degrees, 0 .. 359).
    int HandleAngle() const { return handleAngle_; }
    // The centre of the handle at its current angle.
    TPoint HandlePoint() const;
    // Sets Value from the direction of a point seen from the centre.
    void SetValueFromPoint(int x, int y);

  protected:
    virtual void Change();
    virtual void DrawHandle(int angle);

    void BevelChanged() override;
    void Paint() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void Update();
    void LayoutChanged();
    void ApplyAutoSize();
    int ScaleExtent() const; // pixels
    TPoint AutoSizeFor() const;
    bool ShowsFocus(TMMWheelFocusAction action) const;
    void BuildBackground();
    static void RequirePositive(int value);
    template <typename T> void StoreAndUpdate(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        Update();
    }

    bool autoSize_ = true;
    TBitmap backBmp_;
    TMMScale scale_;
    int minValue_ = 0;
    int maxValue_ = 10;
    int value_ = 0;
    int startAngle_ = 225;
    int endAngle_ = 315;
    TColor handleColor_ = 128;
    TColor focusedColor_ = 255;
    TMMWheelFocusAction focusAction_ = TMMWheelFocusAction::faAll;
    bool upDown_ = false;
    int scrollSize_ = 160;
    int lineStep_ = 1;
    int pageStep_ = 2;
    int radius_ = 0;
    TMMHandleStyle handleStyle_ = TMMHandleStyle::hsEllipse;
    int handleSize_ = 4;
    int handleMargin_ = 4;
    int frameSpace_ = 4;
    int scaleMargin_ = 3;

    int handleAngle_ = 225;
    TBitmap backgroundCache_;
    bool backgroundValid_ = false;
    bool tracking_ = false;
    TWheelNotches wheelNotches_;
    int dragStartY_ = 0;
    int dragStartValue_ = 0;
};

// The wheel with every property published (the class the window uses).
class TMMWheel : public TMMCustomWheel
{
  public:
    using TMMCustomWheel::TMMCustomWheel;
};

} // namespace keb
