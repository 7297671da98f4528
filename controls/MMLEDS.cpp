#include "controls/MMLEDS.h"

namespace keb
{

TMMLED::TMMLED(QWidget* parent) : TMMGraphicControl(parent)
{
    SetBounds(Left(), Top(), 16, 8);
    SetColor(clGreen);
}

void TMMLED::SetLEDColor(TColor color)
{
    if (color == ledColor_)
        return;
    ledColor_ = color;
    Invalidate();
    Change();
}

void TMMLED::SetEnabled(bool enabled)
{
    if (enabled == lit_)
        return;
    lit_ = enabled;
    DrawLED();
    Change();
}

void TMMLED::SetBounds(int left, int top, int width, int height)
{
    TMMGraphicControl::SetBounds(left, top, width, height);
    ledRect_ = GetInnerRect();
}

void TMMLED::BevelChanged()
{
    ledRect_ = GetInnerRect();
    TMMGraphicControl::BevelChanged();
}

void TMMLED::DrawLED()
{
    // Painting happens only in the paint event; a synchronous repaint of
    // the lamp's rectangle is the immediate redraw of the lamp alone.
    if (isVisible())
        repaint(ledRect_.ToQRect());
}

void TMMLED::Change()
{
    if (OnChange)
        OnChange(this);
}

void TMMLED::Paint()
{
    TMMGraphicControl::Paint();
    Canvas()->FillRect(ledRect_, lit_ ? ledColor_ : Color());
}

} // namespace keb
