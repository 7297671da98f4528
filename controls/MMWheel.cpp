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
    BackBmp_.Assign(BuiltInWheelPicture());
    BackBmp_.OnChange = [this](TBitmap*) { LayoutChanged(); };
    Scale_.OnChange = [this](TMMObject*) { LayoutChanged(); };
    Bevel().SetBevelOuter(TPanelBevel::bvNone);
    SetTabStop(true);
    SetBounds(Left(), Top(), 100, 100);
    Update();
}

void TMMCustomWheel::SetAutoSize(bool value)
{
    if (value == AutoSize_)
        return;
    AutoSize_ = value;
    ApplyAutoSize();
}

void TMMCustomWheel::SetBackBmp(const TBitmap& value)
{
    BackBmp_.Assign(value.Empty() ? BuiltInWheelPicture() : value);
}

void TMMCustomWheel::SetValue(int value)
{
    value = ClampInt(value, MinValue_, MaxValue_);
    if (value == Value_)
        return;
    Value_ = value;
    Update();
    Change();
}

void TMMCustomWheel::SetStartAngle(int value)
{
    StoreAndUpdate(StartAngle_, ClampInt(value, 0, 360));
}

void TMMCustomWheel::SetEndAngle(int value)
{
    StoreAndUpdate(EndAngle_, ClampInt(value, 0, 360));
}

void TMMCustomWheel::SetFocusAction(TMMWheelFocusAction value)
{
    if (value == FocusAction_)
        return;
    FocusAction_ = value;
    BackgroundValid_ = false;
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
    ScrollSize_ = value;
}

void TMMCustomWheel::SetLineStep(int value)
{
    RequirePositive(value);
    LineStep_ = value;
}

void TMMCustomWheel::SetPageStep(int value)
{
    RequirePositive(value);
    PageStep_ = value;
}

int TMMCustomWheel::Radius() const
{
    if (Radius_ != 0)
        return Radius_;
    // Too small a control leaves no room: the handle sits on the centre
    // rather than on the opposite side.
    return std::max(std::min(Width(), Height()) / 2 - HandleMargin_ - BevelExtent() - FrameSpace_ -
                        ScaleExtent(),
                    0);
}

void TMMCustomWheel::SetRadius(int value)
{
    StoreAndUpdate(Radius_, std::max(value, 0));
}

void TMMCustomWheel::SetHandleSize(int value)
{
    StoreAndUpdate(HandleSize_, std::max(value, 2));
}

void TMMCustomWheel::SetHandleMargin(int value)
{
    StoreAndUpdate(HandleMargin_, std::max(value, 0));
}

void TMMCustomWheel::SetFrameSpace(int value)
{
    value = std::max(value, 0);
    if (value == FrameSpace_)
        return;
    FrameSpace_ = value;
    LayoutChanged();
}

void TMMCustomWheel::SetScaleMargin(int value)
{
    value = std::max(value, 0);
    if (value == ScaleMargin_)
        return;
    ScaleMargin_ = value;
    LayoutChanged();
}

void TMMCustomWheel::SetColor(TColor color)
{
    TMMCustomControl::SetColor(color);
    BackgroundValid_ = false;
    Update();
}

int TMMCustomWheel::ScaleExtent() const
{
    return Scale_.Visible() ? Scale_.Size() + ScaleMargin_ : 0;
}

TPoint TMMCustomWheel::AutoSizeFor() const
{
    const int frame = 2 * (BevelExtent() + FrameSpace_ + ScaleExtent());
    return {BackBmp_.Width() + frame, BackBmp_.Height() + frame};
}

void TMMCustomWheel::SetBounds(int left, int top, int width, int height)
{
    if (AutoSize_)
    {
        const TPoint size = AutoSizeFor();
        width = size.X;
        height = size.Y;
    }
    TMMCustomControl::SetBounds(left, top, width, height);
    BackgroundValid_ = false;
    Invalidate();
}

void TMMCustomWheel::ApplyAutoSize()
{
    if (AutoSize_)
        SetBounds(Left(), Top(), Width(), Height());
}

void TMMCustomWheel::LayoutChanged()
{
    BackgroundValid_ = false;
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
    if (MaxValue_ > MinValue_)
        fraction = double(Value_ - MinValue_) / (MaxValue_ - MinValue_);
    const int span = EndAngle_ >= StartAngle_ ? 360 - EndAngle_ + StartAngle_ : 360;
    // A value left outside a narrowed range turns more than once round;
    // the angle is still taken into 0 .. 359.
    const int angle = int(StartAngle_ - fraction * span) % 360;
    HandleAngle_ = angle < 0 ? angle + 360 : angle;
    Invalidate();
}

void TMMCustomWheel::Change()
{
    if (ComponentState().IsLoading())
        return;
    AnnounceValueChange(this, Value_);
    if (OnChange)
        OnChange(this);
}

TPoint TMMCustomWheel::HandlePoint() const
{
    const double radians = ToRadians(HandleAngle_);
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
    const int end = EndAngle_ >= StartAngle_ ? EndAngle_ : StartAngle_;
    const int span = StartAngle_ + 360 - end;
    // The dead zone between the end and the start angle snaps to the
    // nearer of the two.
    if (angle > StartAngle_ && angle < end)
        angle = angle - StartAngle_ < (end - StartAngle_) / 2.0 ? StartAngle_ : end;
    double turned = StartAngle_ - angle;
    if (turned < 0)
        turned += 360;
    if (MaxValue_ >= MinValue_ && span != 0)
        SetValue(MinValue_ + int(turned / span * (MaxValue_ - MinValue_)));
    else
        SetValue(MinValue_);
}

bool TMMCustomWheel::ShowsFocus(TMMWheelFocusAction action) const
{
    return Focused() && (FocusAction_ == action || FocusAction_ == TMMWheelFocusAction::faAll);
}

void TMMCustomWheel::BuildBackground()
{
    const TRect whole = ClientRect().Inflated(-BevelExtent(), -BevelExtent());
    BackgroundCache_.SetSize(whole.Width(), whole.Height());
    BackgroundValid_ = true;
    if (BackgroundCache_.Empty())
        return;
    TCanvas canvas(BackgroundCache_);
    const TRect area{0, 0, whole.Width(), whole.Height()};
    canvas.FillRect(area, Color());
    canvas.SetFont(font());
    const int pictureInset = FrameSpace_ + ScaleExtent();
    const TRect picture = area.Inflated(-pictureInset, -pictureInset);
    if (!picture.IsEmpty())
        canvas.DrawTransparent(picture, BackBmp_);
    if (Scale_.Visible())
    {
        Scale_.SetAngles(StartAngle_, EndAngle_);
        Scale_.SetCanvas(&canvas);
        Scale_.DrawCircular(area.Inflated(-FrameSpace_, -FrameSpace_));
        Scale_.SetCanvas(nullptr);
    }
    if (ShowsFocus(TMMWheelFocusAction::faFrameRect))
        canvas.DrawFocusRect(area.Inflated(2 - FrameSpace_, 2 - FrameSpace_));
}

void TMMCustomWheel::Paint()
{
    TCanvas& canvas = *Canvas();
    Bevel().PaintBevel(canvas, ClientRect());
    if (!BackgroundValid_)
        BuildBackground();
    canvas.Draw(BevelExtent(), BevelExtent(), BackgroundCache_);
    DrawHandle(HandleAngle_);
}

void TMMCustomWheel::DrawHandle(int)
{
    TCanvas& canvas = *Canvas();
    const TPoint handle = HandlePoint();
    const bool focused = ShowsFocus(TMMWheelFocusAction::faHandleColor);
    if (HandleStyle_ == TMMHandleStyle::hsOwnerDraw)
    {
        if (OnDrawHandle)
            OnDrawHandle(this, canvas, ClientRect(), handle, Focused());
        return;
    }
    const TColor color = focused ? FocusedColor_ : HandleColor_;
    const int half = HandleSize_ / 2;
    canvas.SetPenColor(color);
    canvas.SetBrushColor(color);
    canvas.Ellipse(handle.X - half, handle.Y - half, handle.X + half, handle.Y + half);
}

void TMMCustomWheel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || Tracking_)
        return;
    Tracking_ = true;
    SetFocus();
    const QPoint point = event->position().toPoint();
    if (UpDown_)
    {
        DragStartY_ = point.y();
        DragStartValue_ = Value_;
    }
    else
        SetValueFromPoint(point.x(), point.y());
}

void TMMCustomWheel::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !Tracking_)
        return;
    const QPoint point = event->position().toPoint();
    if (UpDown_)
        SetValue(DragStartValue_ +
                 int(double(MaxValue_ - MinValue_) * (DragStartY_ - point.y()) / ScrollSize_));
    else
        SetValueFromPoint(point.x(), point.y());
}

void TMMCustomWheel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !Tracking_)
        return;
    Tracking_ = false;
    if (!UpDown_)
    {
        const QPoint point = event->position().toPoint();
        SetValueFromPoint(point.x(), point.y());
    }
}

void TMMCustomWheel::wheelEvent(QWheelEvent* event)
{
    event->accept();
    // One line step per notch, through SetValue as a drag goes.
    SetValue(Value_ + WheelNotches_.Take(*event) * LineStep_);
}

void TMMCustomWheel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key())
    {
    case Qt::Key_PageUp:
        SetValue(Value_ + PageStep_);
        break;
    case Qt::Key_PageDown:
        SetValue(Value_ - PageStep_);
        break;
    case Qt::Key_End:
        SetValue(MinValue_);
        break;
    case Qt::Key_Home:
        SetValue(MaxValue_);
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        SetValue(Value_ + LineStep_);
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        SetValue(Value_ - LineStep_);
        break;
    default:
        TMMCustomControl::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TMMCustomWheel::focusInEvent(QFocusEvent*)
{
    BackgroundValid_ = false;
    Update();
}

void TMMCustomWheel::focusOutEvent(QFocusEvent*)
{
    BackgroundValid_ = false;
    Update();
}

} // namespace keb
