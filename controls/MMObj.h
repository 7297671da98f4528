// The bevel and the three control bases of the component library.
//
// TMMObject is a small change-notifying base: setters call Changed, which
// fires OnChange unless an update (BeginUpdate .. EndUpdate) is in progress;
// the last EndUpdate fires it once when anything changed during the update,
// and not at all when nothing did.
//
// TMMBevel describes the frame every library control draws around its face,
// from the outside in: an optional single black border, an outer 3-D bevel, a
// flat border, an inner 3-D bevel and a flat "space" ring. Widths are clamped
// silently (bevel widths to 1 and up, border widths to 0 and up); a setter
// that stores an equal value changes nothing.
//
// The control bases own one bevel each, repaint when it changes and paint the
// bevel and then the inside in the control's Color. TMMCustomControl takes the
// keyboard focus, TMMGraphicControl never does, TMMCustomPanel holds child
// widgets inside its bevel (its contents margins follow BevelExtent, so a Qt
// layout on the panel keeps clear of the frame). Main thread only.
//
// Implemented in: MMObj.cpp (TMMObject and TMMBevel), MMControlBases.cpp (the
// control bases).
#pragma once

#include "platform/core/Exceptions.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Control.h"

#include <QString>
#include <functional>

namespace keb
{

class TMMObject
{
  public:
    virtual ~TMMObject() = default;

    void BeginUpdate();
    void EndUpdate();

    std::function<void(TMMObject* sender)> OnChange;

  protected:
    virtual void SetUpdateState(bool updating);
    virtual void Changed();
    // Stores value into field and calls Changed, when they differ.
    template <typename T> void Store(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        Changed();
    }

  private:
    int UpdateCount_ = 0;
    bool ChangedWhileUpdating_ = false;
};

class TMMBevel : public TMMObject
{
  public:
    TPanelBevel BevelInner() const { return BevelInner_; }
    void SetBevelInner(TPanelBevel value) { Store(BevelInner_, value); }
    TPanelBevel BevelOuter() const { return BevelOuter_; }
    void SetBevelOuter(TPanelBevel value) { Store(BevelOuter_, value); }
    int BevelInnerWidth() const { return BevelInnerWidth_; } // pixels
    void SetBevelInnerWidth(int value);                      // pixels
    int BevelOuterWidth() const { return BevelOuterWidth_; } // pixels
    void SetBevelOuterWidth(int value);                      // pixels
    TBorderStyle BorderStyle() const { return BorderStyle_; }
    void SetBorderStyle(TBorderStyle value) { Store(BorderStyle_, value); }
    int BorderWidth() const { return BorderWidth_; } // pixels
    void SetBorderWidth(int value);                  // pixels
    int BorderSpace() const { return BorderSpace_; } // pixels
    void SetBorderSpace(int value);                  // pixels
    TColor BorderColor() const { return BorderColor_; }
    void SetBorderColor(TColor value) { Store(BorderColor_, value); }
    TColor BorderSpaceColor() const { return BorderSpaceColor_; }
    void SetBorderSpaceColor(TColor value) { Store(BorderSpaceColor_, value); }
    TColor InnerLightColor() const { return InnerLightColor_; }
    void SetInnerLightColor(TColor value) { Store(InnerLightColor_, value); }
    TColor InnerShadowColor() const { return InnerShadowColor_; }
    void SetInnerShadowColor(TColor value) { Store(InnerShadowColor_, value); }
    TColor OuterLightColor() const { return OuterLightColor_; }
    void SetOuterLightColor(TColor value) { Store(OuterLightColor_, value); }
    TColor OuterShadowColor() const { return OuterShadowColor_; }
    void SetOuterShadowColor(TColor value) { Store(OuterShadowColor_, value); }

    // Copies every property of source; at most one change notification
    // results. Assigning a bevel to itself does nothing.
    void Assign(const TMMBevel& source);

    // Width taken from each side of a rectangle by the frame.
    int BevelExtent() const; // pixels

    // Draws the frame on rect and returns rect shrunk by BevelExtent.
    virtual TRect PaintBevel(TCanvas& canvas, TRect rect) const;

  private:
    TPanelBevel BevelInner_ = TPanelBevel::bvNone;
    TPanelBevel BevelOuter_ = TPanelBevel::bvLowered;
    int BevelInnerWidth_ = 1;
    int BevelOuterWidth_ = 1;
    TBorderStyle BorderStyle_ = TBorderStyle::bsNone;
    int BorderWidth_ = 0;
    int BorderSpace_ = 0;
    TColor BorderColor_ = clBtnFace;
    TColor BorderSpaceColor_ = clBlack;
    TColor InnerLightColor_ = clBtnHighlight;
    TColor InnerShadowColor_ = clBtnShadow;
    TColor OuterLightColor_ = clBtnHighlight;
    TColor OuterShadowColor_ = clBtnShadow;
};

// What the three control bases share: the owned bevel and the default painting.
class TMMBevelControl : public TControl
{
  public:
    explicit TMMBevelControl(QWidget* parent = nullptr);
    ~TMMBevelControl() override;

    // The control's own bevel; changing it repaints the control.
    TMMBevel& Bevel() { return Bevel_; }
    const TMMBevel& Bevel() const { return Bevel_; }
    // Copies value into the control's own bevel (one repaint).
    void SetBevel(const TMMBevel& value) { Bevel_.Assign(value); }

    int BevelExtent() const { return Bevel_.BevelExtent(); } // pixels
    // (0, 0, Width, Height) shrunk by BevelExtent on every side.
    TRect GetInnerRect() const;

  protected:
    // Runs after every change of the bevel.
    virtual void BevelChanged() { Invalidate(); }
    // Paints the bevel on the client rectangle and fills the inside with Color.
    void Paint() override;

  private:
    TMMBevel Bevel_;
};

// A windowed control that takes the keyboard focus.
class TMMCustomControl : public TMMBevelControl
{
  public:
    explicit TMMCustomControl(QWidget* parent = nullptr);
};

// A windowless control: never takes the focus.
class TMMGraphicControl : public TMMBevelControl
{
  public:
    explicit TMMGraphicControl(QWidget* parent = nullptr);
};

// A panel for child controls with a caption inside its bevel.
class TMMCustomPanel : public TMMBevelControl
{
  public:
    explicit TMMCustomPanel(QWidget* parent = nullptr);

    QString Caption() const { return Caption_; }
    void SetCaption(const QString& caption);
    TAlignment Alignment() const { return Alignment_; }
    void SetAlignment(TAlignment alignment);

    // When assigned, replaces the whole default painting.
    std::function<void(TMMCustomPanel* sender)> OnPaint;

  protected:
    // Keeps the children's area (the contents rectangle) inside the bevel.
    void BevelChanged() override;
    void Paint() override;

  private:
    void AlignControls();

    QString Caption_;
    TAlignment Alignment_ = TAlignment::taCenter;
};

} // namespace keb
