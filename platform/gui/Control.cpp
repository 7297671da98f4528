#include "platform/gui/Control.h"

#include <algorithm>

namespace keb
{

TControl::TControl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    setGeometry(left, top, std::max(width, 0), std::max(height, 0));
}

void TControl::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Invalidate();
}

void TControl::SetTabStop(bool tabStop)
{
    setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

void TControl::SetScreenCursor(TCursor cursor)
{
    if (cursor == crLibraryHand)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void TControl::SetDesigning(bool designing)
{
    if (designing)
        state_.Include(TComponentStateFlag::csDesigning);
    else
        state_.Exclude(TComponentStateFlag::csDesigning);
}

void TControl::paintEvent(QPaintEvent*)
{
    TCanvas canvas(*this);
    canvas_ = &canvas;
    struct TClearCanvas
    {
        TCanvas*& Canvas;
        ~TClearCanvas() { Canvas = nullptr; }
    } clear{canvas_};
    Paint();
}

} // namespace keb
