// Part of TMMWheel (MMWheel.h): properties, sizing, input and painting.
#include "controls/MMWheel.h"

#include "controls/AccessibleControls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace keb
{

namespace
{

int ClampInt(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

double ToRadians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

} // namespace

TMMCustomWheel::TMMCustomWheel(QWidget* parent) : TMMCustomControl(parent)
{
    backBmp_.Assign(BuiltInWheelPicture());
    backBmp_.OnChange = [this](TBitmap*) { LayoutChanged(); };
    scale_.OnChange = [this](TMMObject*) { LayoutChanged(); };
    Bevel().SetBevelOuter(TPanelBevel::bvNone);
    SetTabStop(true);
    SetBounds(Left(), Top(), 100, 100);
    Update();
}

void TMMCustomWheel::SetAutoSize(bool value)
{
    if (value == autoSize_)
        return;
    autoSize_ = value;
    ApplyAutoSize();
}

void TMMCustomWheel::SetBackBmp(const TBitmap& value)
{
    backBmp_.Assign(value.Empty() ? BuiltInWheelPicture() : value);
}

void TMMCustomWheel::SetValue(int value)
{
    value = ClampInt(value, minValue_, maxValue_);
    if (value == value_)
        return;
    value_ = value;
    Update();
    Change();
}

void TMMCustomWheel::SetStartAngle(int value)
{
    StoreAndUpdate(startAngle_, ClampInt(value, 0, 360));
}

void TMMCustomWheel::SetEndAngle(int value)
{
    StoreAndUpdate(endAngle_, ClampInt(value, 0, 360));
}

void TMMCustomWheel::SetFocusAction(TMMWheelFocusAction value)
{
    if (value == focusAction_)
        return;
    focusAction_ = value;
    backgroundValid_ = false;
    Update();
}

void TMMCustomWheel::RequirePositive(int value)
{
    if (value < 1)
        throw EMMWheelError("This parameter should be greater then 0");
}

void TMMCustomWheel::SetScrollSize(int value)
{
    RequirePositive(value);
    scrollSize_ = value;
}

void TMMCustomWheel::SetLineStep(int value)
{
    RequirePositive(value);
    lineStep_ = value;
}

void TMMCustomWheel::SetPageStep(int value)
{
    RequirePositive(value);
    pageStep_ = value;
}

int TMMCustomWheel::Radius() const
{
    if (radius_ != 0)
        return radius_;
    // Too small a control leaves no room: the handle sits on the centre
    // rather than on the opposite side.
    return std::max(std::min(Width(), Height()) / 2 - handleMargin_ - BevelExtent() - frameSpace_ -
                        ScaleExtent(),
                    0);
}

void TMMCustomWheel::SetRadius(int value)
{
    StoreAndUpdate(radius_, std::max(value, 0));
}

void TMMCustomWheel::SetHandleSize(int value)
{
    StoreAndUpdate(handleSize_, std::max(value, 2));
}

void TMMCustomWheel::SetHandleMargin(int value)
{
    StoreAndUpdate(handleMargin_, std::max(value, 0));
}

void TMMCustomWheel::SetFrameSpace(int value)
{
    value = std::max(value, 0);
    if (value == frameSpace_)
        return;
    frameSpace_ = value;
    LayoutChanged();
}

void TMMCustomWheel::SetScaleMargin(int value)
{
    value = std::max(value, 0);
    if (value == scaleMargin_)
        return;
    scaleMargin_ = value;
    LayoutChanged();
}

void TMMCustomWheel::SetColor(TColor color)
{
    TMMCustomControl::SetColor(color);
    backgroundValid_ = false;
    Update();
}

int TMMCustomWheel::ScaleExtent() const
{
    return scale_.Visible() ? scale_.Size() + scaleMargin_ : 0;
}

TPoint TMMCustomWheel::AutoSizeFor() const
{
    const int frame = 2 * (BevelExtent() + frameSpace_ + ScaleExtent());
    return {backBmp_.Width() + frame, backBmp_.Height() + frame};
}

void TMMCustomWheel::SetBounds(int left, int top, int width, int height)
{
    if (autoSize_)
    {
        const TPoint size = AutoSizeFor();
        width = size.X;
        height = size.Y;
    }
    TMMCustomControl::SetBounds(left, top, width, height);
    backgroundValid_ = false;
    Invalidate();
}

void TMMCustomWheel::ApplyAutoSize()
{
    if (autoSize_)
        SetBounds(Left(), Top(), Width(), Height());
}

void TMMCustomWheel::LayoutChanged()
{
    backgroundValid_ = false;
    ApplyAutoSize();
    Update();
}

void TMMCustomWheel::BevelChanged()
{
    LayoutChanged();
}

void TMMCustomWheel::Loaded()
{
    TMMCustomControl::Loaded();
    LayoutChanged();
}

void TMMCustomWheel::Update()
{
    if (ComponentState().IsLoading())
        return;
    double fraction = 0;
    if (maxValue_ > minValue_)
        fraction = double(value_ - minValue_) / (maxValue_ - minValue_);
    const int span = endAngle_ >= startAngle_ ? 360 - endAngle_ + startAngle_ : 360;
    // A value left outside a narrowed range turns more than once round;
    // the angle is still taken into 0 .. 359.
    const int angle = int(startAngle_ - fraction * span) % 360;
    handleAngle_ = angle < 0 ? angle + 360 : angle;
    Invalidate();
}

void TMMCustomWheel::Change()
{
    if (ComponentState().IsLoading())
        return;
    AnnounceValueChange(this, value_);
    if (OnChange)
        OnChange(this);
}

TPoint TMMCustomWheel::HandlePoint() const
{
    const double radians = ToRadians(handleAngle_);
    const int radius = Radius();
    return {Width() / 2 + int(std::lround(std::cos(radians) * radius)),
            Height() / 2 - int(std::lround(std::sin(radians) * radius))};
}

void TMMCustomWheel::SetValueFromPoint(int x, int y)
{
    const int dx = x - Width() / 2;
    const int dy = Height() / 2 - y;
    if (dx == 0 && dy == 0)
        return;
    double angle = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    if (angle < 0)
        angle += 360;
    const int end = endAngle_ >= startAngle_ ? endAngle_ : startAngle_;
    const int span = startAngle_ + 360 - end;
    // The dead zone between the end and the start angle snaps to the
    // nearer of the two.
    if (angle > startAngle_ && angle < end)
        angle = angle - startAngle_ < (end - startAngle_) / 2.0 ? startAngle_ : end;
    double turned = startAngle_ - angle;
    if (turned < 0)
        turned += 360;
    if (maxValue_ >= minValue_ && span != 0)
        SetValue(minValue_ + int(turned / span * (maxValue_ - minValue_)));
    else
        SetValue(minValue_);
}

bool TMMCustomWheel::ShowsFocus(TMMWheelFocusAction action) const
{
    return Focused() && (focusAction_ == action || focusAction_ == TMMWheelFocusAction::faAll);
}

void TMMCustomWheel::BuildBackground()
{
    const TRect whole = ClientRect().Inflated(-BevelExtent(), -BevelExtent());
    backgroundCache_.SetSize(whole.Width(), whole.Height());
    backgroundValid_ = true;
    if (backgroundCache_.Empty())
        return;
    TCanvas canvas(backgroundCache_);
    const TRect area{0, 0, whole.Width(), whole.Height()};
    canvas.FillRect(area, Color());
    canvas.SetFont(font());
    const int pictureInset = frameSpace_ + ScaleExtent();
    const TRect picture = area.Inflated(-pictureInset, -pictureInset);
    if (!picture.IsEmpty())
        canvas.DrawTransparent(picture, backBmp_);
    if (scale_.Visible())
    {
        scale_.SetAngles(startAngle_, endAngle_);
        scale_.SetCanvas(&canvas);
        scale_.DrawCircular(area.Inflated(-frameSpace_, -frameSpace_));
        scale_.SetCanvas(nullptr);
    }
    if (ShowsFocus(TMMWheelFocusAction::faFrameRect))
        canvas.DrawFocusRect(area.Inflated(2 - frameSpace_, 2 - frameSpace_));
}

void TMMCustomWheel::Paint()
{
    TCanvas& canvas = *Canvas();
    Bevel().PaintBevel(canvas, ClientRect());
    if (!backgroundValid_)
        BuildBackground();
    canvas.Draw(BevelExtent(), BevelExtent(), backgroundCache_);
    DrawHandle(handleAngle_);
}

void TMMCustomWheel::DrawHandle(int)
{
    TCanvas& canvas = *Canvas();
    const TPoint handle = HandlePoint();
    const bool focused = ShowsFocus(TMMWheelFocusAction::faHandleColor);
    if (handleStyle_ == TMMHandleStyle::hsOwnerDraw)
    {
        if (OnDrawHandle)
            OnDrawHandle(this, canvas, ClientRect(), handle, Focused());
        return;
    }
    const TColor color = focused ? focusedColor_ : handleColor_;
    const int half = handleSize_ / 2;
    canvas.SetPenColor(color);
    canvas.SetBrushColor(color);
    canvas.Ellipse(handle.X - half, handle.Y - half, handle.X + half, handle.Y + half);
}

void TMMCustomWheel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || tracking_)
        return;
    tracking_ = true;
    SetFocus();
    const QPoint point = event->position().toPoint();
    if (upDown_)
    {
        dragStartY_ = point.y();
        dragStartValue_ = value_;
    }
    else
        SetValueFromPoint(point.x(), point.y());
}

void TMMCustomWheel::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !tracking_)
        return;
    const QPoint point = event->position().toPoint();
    if (upDown_)
        SetValue(dragStartValue_ +
                 int(double(maxValue_ - minValue_) * (dragStartY_ - point.y()) / scrollSize_));
    else
        SetValueFromPoint(point.x(), point.y());
}

void TMMCustomWheel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !tracking_)
        return;
    tracking_ = false;
    if (!upDown_)
    {
        const QPoint point = event->position().toPoint();
        SetValueFromPoint(point.x(), point.y());
    }
}

void TMMCustomWheel::wheelEvent(QWheelEvent* event)
{
    event->accept();
    // One line step per notch, through SetValue as a drag goes.
    SetValue(value_ + wheelNotches_.Take(*event) * lineStep_);
}

void TMMCustomWheel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key())
    {
    case Qt::Key_PageUp:
        SetValue(value_ + pageStep_);
        break;
    case Qt::Key_PageDown:
        SetValue(value_ - pageStep_);
        break;
    case Qt::Key_End:
        SetValue(minValue_);
        break;
    case Qt::Key_Home:
        SetValue(maxValue_);
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        SetValue(value_ + lineStep_);
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        SetValue(value_ - lineStep_);
        break;
    default:
        TMMCustomControl::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TMMCustomWheel::focusInEvent(QFocusEvent*)
{
    backgroundValid_ = false;
    Update();
}

void TMMCustomWheel::focusOutEvent(QFocusEvent*)
{
    backgroundValid_ = false;
    Update();
}

} // namespace keb
