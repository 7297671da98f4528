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
    TMMBevel& Groove() { return groove_; }
    void SetGroove(const TMMBevel& value) { groove_.Assign(value); }
    TMMScale& Scale() { return scale_; }
    void SetScale(const TMMScale& value) { scale_.Assign(value); }
    TBitmap& PicLeft() { return picLeft_; }
    void SetPicLeft(const TBitmap& value) { picLeft_.Assign(value); }
    TBitmap& PicRight() { return picRight_; }
    void SetPicRight(const TBitmap& value) { picRight_.Assign(value); }

    TMMFocusAction FocusAction() const { return focusAction_; }
    void SetFocusAction(TMMFocusAction value);
    TColor FocusColor() const { return focusColor_; }
    void SetFocusColor(TColor value) { StoreAndRepaint(focusColor_, value); }
    TColor GrooveColor() const { return grooveColor_; }
    void SetGrooveColor(TColor value) { StoreAndRepaint(grooveColor_, value); }
    TColor ThumbColor() const { return thumbColor_; }
    void SetThumbColor(TColor value) { StoreAndRepaint(thumbColor_, value); }
    bool ThumbBorder() const { return thumbBorder_; }
    void SetThumbBorder(bool value) { StoreAndRepaint(thumbBorder_, value); }
    TColor DisabledColor() const { return disabledColor_; }
    void SetDisabledColor(TColor value) { StoreAndRepaint(disabledColor_, value); }
    bool HandCursor() const { return handCursor_; }
    void SetHandCursor(bool value) { handCursor_ = value; }
    TCursor ThumbCursor() const { return thumbCursor_; }
    void SetThumbCursor(TCursor value) { thumbCursor_ = value; }

    int MinValue() const { return minValue_; }
    void SetMinValue(int value) { SetRange(value, maxValue_); }
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value) { SetRange(minValue_, value); }
    void SetRange(int minValue, int maxValue);
    int LineSize() const { return lineSize_; }
    void SetLineSize(int value) { lineSize_ = value; }
    int PageSize() const { return pageSize_; }
    void SetPageSize(int value) { pageSize_ = value; }

    TMMOrientation Orientation() const { return orientation_; }
    void SetOrientation(TMMOrientation value);

    // The value: RawPosition in linear mode, its logarithmic mapping otherwise.
    int Position() const;
    void SetPosition(int value);
    int RawPosition() const { return rawPosition_; }
    // Stores value clamped to the range; true (after OnChange) when the
    // stored value changed.
    bool SetRawPosition(int value);

    int GrooveSize() const { return grooveSize_; }   // pixels
    void SetGrooveSize(int value);                   // pixels
    int ThumbWidth() const { return thumbWidth_; }   // pixels
    void SetThumbWidth(int value);                   // pixels
    int ThumbHeight() const { return thumbHeight_; } // pixels
    void SetThumbHeight(int value);                  // pixels
    TMMThumbStyle ThumbStyle() const { return thumbStyle_; }
    void SetThumbStyle(TMMThumbStyle value) { StoreAndRepaint(thumbStyle_, value); }
    TMMGrooveStyle GrooveStyle() const { return grooveStyle_; }
    void SetGrooveStyle(TMMGrooveStyle value) { StoreAndRepaint(grooveStyle_, value); }
    int ScaleDistance() const { return scaleDistance_; }                         // pixels
    void SetScaleDistance(int value) { StoreAndRepaint(scaleDistance_, value); } // pixels
    TMMScalePos ScalePosition() const { return scalePosition_; }
    void SetScalePosition(TMMScalePos value) { StoreAndRepaint(scalePosition_, value); }

    bool Logarithmic() const { return logarithmic_; }
    void SetLogarithmic(bool value);
    int Sensitivity() const { return sensitivity_; } // dB
    void SetSensitivity(int value);                  // dB

    // Acquires the shared bitmap of the new size when the size changes.
    void SetBounds(int left, int top, int width, int height) override;
    void Loaded() override;

    // Where the thumb of value raw lies (client coordinates).
    TRect ThumbRect(int raw) const;
    TRect ThumbRect() const { return ThumbRect(rawPosition_); }
    // The value under a point of the track, clamped to the range.
    int PositionFromPoint(int x, int y) const;
    bool Dragging() const { return dragging_; }
    bool BlinkOn() const { return blinkOn_; }

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
    bool Horizontal() const { return orientation_ == TMMOrientation::orHorizontal; }
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

    TMMBevel groove_;
    TMMScale scale_;
    TBitmap picLeft_;
    TBitmap picRight_;
    TMMFocusAction focusAction_ = TMMFocusAction::faFocusRect;
    TColor focusColor_ = clActiveCaption;
    TColor grooveColor_ = clBtnFace;
    TColor thumbColor_ = clBtnFace;
    bool thumbBorder_ = true;
    TColor disabledColor_ = clWhite;
    bool handCursor_ = false;
    TCursor thumbCursor_ = crDefault;
    int minValue_ = 0;
    int maxValue_ = 10;
    int lineSize_ = 1;
    int pageSize_ = 5;
    TMMOrientation orientation_ = TMMOrientation::orHorizontal;
    int rawPosition_ = 0;
    int grooveSize_ = 3;
    int thumbWidth_ = 11;
    int thumbHeight_ = 23;
    TMMThumbStyle thumbStyle_ = TMMThumbStyle::tsRect;
    TMMGrooveStyle grooveStyle_ = TMMGrooveStyle::gsRect;
    int scaleDistance_ = 10;
    TMMScalePos scalePosition_ = TMMScalePos::spBelowOrRight;
    bool logarithmic_ = false;
    int sensitivity_ = -24;

    bool dragging_ = false;
    bool blinkOn_ = false;
    bool tracking_ = false;
    TWheelNotches wheelNotches_;
    TRect paintedThumb_;
    TBitmap* bitmap_ = nullptr;
};

// The slider with every property published (the class the window uses).
class TMMSlider : public TMMCustomSlider
{
  public:
    using TMMCustomSlider::TMMCustomSlider;
};

} // namespace keb
