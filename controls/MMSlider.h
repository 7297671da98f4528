// TMMSlider: a focusable track bar.
//
// A thumb moves along a groove between MinValue and MaxValue by mouse (a press
// on the groove jumps there, a press on the thumb drags it, the scroll wheel
// moves it LineSize per notch, forwards up) or keyboard (arrows, Page
// Up/Down, Home, End), and every change of the value fires
// OnChange; changes made by the user also fire OnTrack, and letting go fires
// OnTrackEnd. Events do not fire while the control is loading.
//
// Clamped silently: Position and RawPosition to MinValue .. MaxValue, MaxValue
// to MinValue + 1 and up (outside loading), Sensitivity to -96 .. -20, the
// thumb and groove sizes to 0 .. 255. With Logarithmic set, Position maps onto
// the track in decibels: the top Sensitivity dB of the range fill the track.
//
// The slider paints into an off-screen bitmap shared with every other slider
// of the same size (TBitmapCache), then copies it to the screen; the focused
// slider's thumb blinks through one timer shared by all sliders. Resizing
// turns the slider horizontal when it is at least as wide as high, else
// vertical. Main thread only.
//
// Implemented in: MMSlider.cpp (properties, layout and events),
// MMSliderPainting.cpp (painting), MMSliderInput.cpp (mouse, keyboard, focus
// and the shared blink timer).
#pragma once

#include "controls/MMObj.h"
#include "controls/MMScale.h"
#include "controls/WheelNotches.h"

#include <functional>

class QTimer;

namespace keb
{

enum class TMMFocusAction
{
    faNone,
    faFocusThumb,
    faFocusRect,
    faFocusColor,
    faAll
};

enum class TMMOrientation
{
    orVertical,
    orHorizontal
};

enum class TMMThumbStyle
{
    tsRect,
    tsOwnerDraw
};

enum class TMMGrooveStyle
{
    gsRect,
    gsOwnerDraw
};

enum class TMMScalePos
{
    spAboveOrLeft,
    spBelowOrRight,
    spBoth
};

class TMMCustomSlider : public TMMCustomControl
{
  public:
    using TNotifyEvent = std::function<void(TMMCustomSlider* sender)>;
    using TDrawThumbEvent = std::function<void(TMMCustomSlider* sender, TCanvas& canvas,
                                               const TRect& rect, bool blinkOn, bool dragging)>;
    using TDrawGrooveEvent =
        std::function<void(TMMCustomSlider* sender, TCanvas& canvas, const TRect& rect)>;

    explicit TMMCustomSlider(QWidget* parent = nullptr);
    ~TMMCustomSlider() override;

    TNotifyEvent OnChange;
    TNotifyEvent OnTrack;
    TNotifyEvent OnTrackEnd;
    TDrawThumbEvent OnDrawThumb;
    TDrawGrooveEvent OnDrawGroove;

    // The groove's frame; changing it repaints.
    TMMBevel& Groove() { return Groove_; }
    void SetGroove(const TMMBevel& value) { Groove_.Assign(value); }
    TMMScale& Scale() { return Scale_; }
    void SetScale(const TMMScale& value) { Scale_.Assign(value); }
    TBitmap& PicLeft() { return PicLeft_; }
    void SetPicLeft(const TBitmap& value) { PicLeft_.Assign(value); }
    TBitmap& PicRight() { return PicRight_; }
    void SetPicRight(const TBitmap& value) { PicRight_.Assign(value); }

    TMMFocusAction FocusAction() const { return FocusAction_; }
    void SetFocusAction(TMMFocusAction value);
    TColor FocusColor() const { return FocusColor_; }
    void SetFocusColor(TColor value) { StoreAndRepaint(FocusColor_, value); }
    TColor GrooveColor() const { return GrooveColor_; }
    void SetGrooveColor(TColor value) { StoreAndRepaint(GrooveColor_, value); }
    TColor ThumbColor() const { return ThumbColor_; }
    void SetThumbColor(TColor value) { StoreAndRepaint(ThumbColor_, value); }
    bool ThumbBorder() const { return ThumbBorder_; }
    void SetThumbBorder(bool value) { StoreAndRepaint(ThumbBorder_, value); }
    TColor DisabledColor() const { return DisabledColor_; }
    void SetDisabledColor(TColor value) { StoreAndRepaint(DisabledColor_, value); }
    bool HandCursor() const { return HandCursor_; }
    void SetHandCursor(bool value) { HandCursor_ = value; }
    TCursor ThumbCursor() const { return ThumbCursor_; }
    void SetThumbCursor(TCursor value) { ThumbCursor_ = value; }

    int MinValue() const { return MinValue_; }
    void SetMinValue(int value) { SetRange(value, MaxValue_); }
    int MaxValue() const { return MaxValue_; }
    void SetMaxValue(int value) { SetRange(MinValue_, value); }
    void SetRange(int minValue, int maxValue);
    int LineSize() const { return LineSize_; }
    void SetLineSize(int value) { LineSize_ = value; }
    int PageSize() const { return PageSize_; }
    void SetPageSize(int value) { PageSize_ = value; }

    TMMOrientation Orientation() const { return Orientation_; }
    void SetOrientation(TMMOrientation value);

    // The value: RawPosition in linear mode, its logarithmic mapping otherwise.
    int Position() const;
    void SetPosition(int value);
    int RawPosition() const { return RawPosition_; }
    // Stores value clamped to the range; true (after OnChange) when the
    // stored value changed.
    bool SetRawPosition(int value);

    int GrooveSize() const { return GrooveSize_; }   // pixels
    void SetGrooveSize(int value);                   // pixels
    int ThumbWidth() const { return ThumbWidth_; }   // pixels
    void SetThumbWidth(int value);                   // pixels
    int ThumbHeight() const { return ThumbHeight_; } // pixels
    void SetThumbHeight(int value);                  // pixels
    TMMThumbStyle ThumbStyle() const { return ThumbStyle_; }
    void SetThumbStyle(TMMThumbStyle value) { StoreAndRepaint(ThumbStyle_, value); }
    TMMGrooveStyle GrooveStyle() const { return GrooveStyle_; }
    void SetGrooveStyle(TMMGrooveStyle value) { StoreAndRepaint(GrooveStyle_, value); }
    int ScaleDistance() const { return ScaleDistance_; }                         // pixels
    void SetScaleDistance(int value) { StoreAndRepaint(ScaleDistance_, value); } // pixels
    TMMScalePos ScalePosition() const { return ScalePosition_; }
    void SetScalePosition(TMMScalePos value) { StoreAndRepaint(ScalePosition_, value); }

    bool Logarithmic() const { return Logarithmic_; }
    void SetLogarithmic(bool value);
    int Sensitivity() const { return Sensitivity_; } // dB
    void SetSensitivity(int value);                  // dB

    // Acquires the shared bitmap of the new size when the size changes.
    void SetBounds(int left, int top, int width, int height) override;
    void Loaded() override;

    // Where the thumb of value raw lies (client coordinates).
    TRect ThumbRect(int raw) const;
    TRect ThumbRect() const { return ThumbRect(RawPosition_); }
    // The value under a point of the track, clamped to the range.
    int PositionFromPoint(int x, int y) const;
    bool Dragging() const { return Dragging_; }
    bool BlinkOn() const { return BlinkOn_; }

  protected:
    virtual void Change();
    virtual void Track();
    virtual void TrackEnd();
    virtual void DrawThumb(TCanvas& canvas, const TRect& rect);
    virtual void DrawGroove(TCanvas& canvas, const TRect& rect);

    void Paint() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct TLayout
    {
        TRect Track;
        TRect PicLeft;
        TRect PicRight;
        TRect Thumb;
        TRect Groove;
    };

    TLayout Layout(int raw) const;
    bool Horizontal() const { return Orientation_ == TMMOrientation::orHorizontal; }
    int TrackSpan(const TRect& track) const;
    void PaintScale(TCanvas& canvas, const TLayout& layout);
    void PaintGroove(TCanvas& canvas, const TRect& groove);
    void PaintFocusRect(TCanvas& canvas);
    void PaintThumb(TCanvas& canvas, TRect rect);
    void ShowThumbCursor(bool overThumb);
    void ReacquireBitmap(int width, int height);
    void FocusChanged();
    void UpdateBlinkTimer();
    void DropBlinkTimer();
    void Blink();
    bool ShowsFocusColor() const;
    template <typename T> void StoreAndRepaint(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        Invalidate();
    }

    TMMBevel Groove_;
    TMMScale Scale_;
    TBitmap PicLeft_;
    TBitmap PicRight_;
    TMMFocusAction FocusAction_ = TMMFocusAction::faFocusRect;
    TColor FocusColor_ = clActiveCaption;
    TColor GrooveColor_ = clBtnFace;
    TColor ThumbColor_ = clBtnFace;
    bool ThumbBorder_ = true;
    TColor DisabledColor_ = clWhite;
    bool HandCursor_ = false;
    TCursor ThumbCursor_ = crDefault;
    int MinValue_ = 0;
    int MaxValue_ = 10;
    int LineSize_ = 1;
    int PageSize_ = 5;
    TMMOrientation Orientation_ = TMMOrientation::orHorizontal;
    int RawPosition_ = 0;
    int GrooveSize_ = 3;
    int ThumbWidth_ = 11;
    int ThumbHeight_ = 23;
    TMMThumbStyle ThumbStyle_ = TMMThumbStyle::tsRect;
    TMMGrooveStyle GrooveStyle_ = TMMGrooveStyle::gsRect;
    int ScaleDistance_ = 10;
    TMMScalePos ScalePosition_ = TMMScalePos::spBelowOrRight;
    bool Logarithmic_ = false;
    int Sensitivity_ = -24;

    bool Dragging_ = false;
    bool BlinkOn_ = false;
    bool Tracking_ = false;
    TWheelNotches WheelNotches_;
    TRect PaintedThumb_;
    TBitmap* Bitmap_ = nullptr;
};

// The slider with every property published (the class the window uses).
class TMMSlider : public TMMCustomSlider
{
  public:
    using TMMCustomSlider::TMMCustomSlider;
};

} // namespace keb
