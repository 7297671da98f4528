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
    int updateCount_ = 0;
    bool changedWhileUpdating_ = false;
};

class TMMBevel : public TMMObject
{
  public:
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel value) { Store(bevelInner_, value); }
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel value) { Store(bevelOuter_, value); }
    int BevelInnerWidth() const { return bevelInnerWidth_; } // pixels
    void SetBevelInnerWidth(int value);                      // pixels
    int BevelOuterWidth() const { return bevelOuterWidth_; } // pixels
    void SetBevelOuterWidth(int value);                      // pixels
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value) { Store(borderStyle_, value); }
    int BorderWidth() const { return borderWidth_; } // pixels
    void SetBorderWidth(int value);                  // pixels
    int BorderSpace() const { return borderSpace_; } // pixels
    void SetBorderSpace(int value);                  // pixels
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value) { Store(borderColor_, value); }
    TColor BorderSpaceColor() const { return borderSpaceColor_; }
    void SetBorderSpaceColor(TColor value) { Store(borderSpaceColor_, value); }
    TColor InnerLightColor() const { return innerLightColor_; }
    void SetInnerLightColor(TColor value) { Store(innerLightColor_, value); }
    TColor InnerShadowColor() const { return innerShadowColor_; }
    void SetInnerShadowColor(TColor value) { Store(innerShadowColor_, value); }
    TColor OuterLightColor() const { return outerLightColor_; }
    void SetOuterLightColor(TColor value) { Store(outerLightColor_, value); }
    TColor OuterShadowColor() const { return outerShadowColor_; }
    void SetOuterShadowColor(TColor value) { Store(outerShadowColor_, value); }

    // Copies every property of source; at most one change notification
    // results. Assigning a bevel to itself does nothing.
    void Assign(const TMMBevel& source);

    // Width taken from each side of a rectangle by the frame.
    int BevelExtent() const; // pixels

    // Draws the frame on rect and returns rect shrunk by BevelExtent.
    virtual TRect PaintBevel(TCanvas& canvas, TRect rect) const;

  private:
    TPanelBevel bevelInner_ = TPanelBevel::bvNone;
    TPanelBevel bevelOuter_ = TPanelBevel::bvLowered;
    int bevelInnerWidth_ = 1;
    int bevelOuterWidth_ = 1;
    TBorderStyle borderStyle_ = TBorderStyle::bsNone;
    int borderWidth_ = 0;
    int borderSpace_ = 0;
    TColor borderColor_ = clBtnFace;
    TColor borderSpaceColor_ = clBlack;
    TColor innerLightColor_ = clBtnHighlight;
    TColor innerShadowColor_ = clBtnShadow;
    TColor outerLightColor_ = clBtnHighlight;
    TColor outerShadowColor_ = clBtnShadow;
};

// What the three control bases share: the owned bevel and the default painting.
class TMMBevelControl : public TControl
{
  public:
    explicit TMMBevelControl(QWidget* parent = nullptr);
    ~TMMBevelControl() override;

    // The control's own bevel; changing it repaints the control.
    TMMBevel& Bevel() { return bevel_; }
    const TMMBevel& Bevel() const { return bevel_; }
    // Copies value into the control's own bevel (one repaint).
    void SetBevel(const TMMBevel& value) { bevel_.Assign(value); }

    int BevelExtent() const { return bevel_.BevelExtent(); } // pixels
    // (0, 0, Width, Height) shrunk by BevelExtent on every side.
    TRect GetInnerRect() const;

  protected:
    // Runs after every change of the bevel.
    virtual void BevelChanged() { Invalidate(); }
    // Paints the bevel on the client rectangle and fills the inside with Color.
    void Paint() override;

  private:
    TMMBevel bevel_;
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

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

    // When assigned, replaces the whole default painting.
    std::function<void(TMMCustomPanel* sender)> OnPaint;

  protected:
    // Keeps the children's area (the contents rectangle) inside the bevel.
    void BevelChanged() override;
    void Paint() override;

  private:
    void AlignControls();

    QString caption_;
    TAlignment alignment_ = TAlignment::taCenter;
};

} // namespace keb
