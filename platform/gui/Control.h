// The window framework's control: a QWidget with the platform's properties.
//
// TControl gives a widget the properties the component library builds on:
// bounds (Left, Top, Width, Height through one virtual SetBounds), Color,
// Enabled, Visible, TabStop, Tag, Name, a component state with the loading
// flag, and painting through a TCanvas: Paint() runs inside Qt's paint event
// with Canvas() set, Invalidate() asks for a paint, Repaint() paints at once.
// Main thread only, like every widget. Parents own their child controls (Qt's
// object tree).
#pragma once

#include "platform/gui/Canvas.h"
#include "platform/gui/Colors.h"
#include "platform/gui/ComponentState.h"
#include "platform/gui/ControlTypes.h"
#include "platform/gui/Geometry.h"

#include <QCursor>
#include <QWidget>
#include <cstdint>

namespace keb
{

class TControl : public QWidget
{
  public:
    explicit TControl(QWidget* parent = nullptr);

    int Left() const { return x(); }
    int Top() const { return y(); }
    int Width() const { return width(); }
    int Height() const { return height(); }
    // Moves and resizes the control; every other bounds setter goes through
    // here, so descendants that constrain their size override only this one.
    // Negative sizes count as 0.
    virtual void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
    void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
    void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
    void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
    TRect ClientRect() const { return {0, 0, Width(), Height()}; }

    TColor Color() const { return color_; }
    virtual void SetColor(TColor color);

    virtual bool Enabled() const { return isEnabled(); }
    virtual void SetEnabled(bool enabled) { setEnabled(enabled); }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible) { setVisible(visible); }
    // A control with TabStop takes the focus by tab and click; any control
    // that is not windowless can still take it by SetFocus.
    bool TabStop() const { return focusPolicy() == Qt::StrongFocus; }
    void SetTabStop(bool tabStop);
    bool Focused() const { return hasFocus(); }
    void SetFocus() { setFocus(Qt::OtherFocusReason); }

    std::intptr_t Tag() const { return tag_; }
    void SetTag(std::intptr_t tag) { tag_ = tag; }
    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }

    // Shows a screen cursor over the control (crDefault: the arrow; the
    // library's hand: Qt's pointing hand).
    void SetScreenCursor(TCursor cursor);

    const TComponentState& ComponentState() const { return state_; }
    // Marks the control as loading its stored settings: setters store without
    // firing events until Loaded.
    void BeginLoading() { state_.Include(TComponentStateFlag::csLoading); }
    // Ends loading; descendants finish the work they skipped and call this.
    virtual void Loaded() { state_.Exclude(TComponentStateFlag::csLoading); }
    void SetDesigning(bool designing);

    // The canvas of the paint in progress; nullptr outside Paint.
    TCanvas* Canvas() const { return canvas_; }
    void Invalidate() { update(); }
    void Repaint() { repaint(); }

  protected:
    virtual void Paint() {}
    void paintEvent(QPaintEvent* event) override;

  private:
    TColor color_ = clBtnFace;
    std::intptr_t tag_ = 0;
    TComponentState state_;
    TCanvas* canvas_ = nullptr;
};

} // namespace keb
