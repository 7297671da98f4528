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
    if (color == LEDColor_)
        return;
    LEDColor_ = color;
    Invalidate();
    Change();
}

void TMMLED::SetEnabled(bool enabled)
{
    if (enabled == Lit_)
        return;
    Lit_ = enabled;
    DrawLED();
    Change();
}

void TMMLED::SetBounds(int left, int top, int width, int height)
{
    TMMGraphicControl::SetBounds(left, top, width, height);
    LEDRect_ = GetInnerRect();
}

void TMMLED::BevelChanged()
{
    LEDRect_ = GetInnerRect();
    TMMGraphicControl::BevelChanged();
}

void TMMLED::DrawLED()
{
    // Painting happens only in the paint event; a synchronous repaint of
    // the lamp's rectangle is the immediate redraw of the lamp alone.
    if (isVisible())
        repaint(LEDRect_.ToQRect());
}

void TMMLED::Change()
{
    if (OnChange)
        OnChange(this);
}

void TMMLED::Paint()
{
    TMMGraphicControl::Paint();
    Canvas()->FillRect(LEDRect_, Lit_ ? LEDColor_ : Color());
}

} // namespace keb
