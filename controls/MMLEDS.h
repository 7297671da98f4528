// TMMLED: a windowless indicator lamp.
//
// A rectangle inside the bevel, filled with LEDColor while the LED is lit
// (Enabled) and with Color while it is dark. Enabled is the lamp's own state:
// it does not disable the control. A new LED is 16 x 8, green when dark and
// lime when lit, inside a lowered one-pixel bevel. OnChange fires after the
// colour or the lit state changed. Main thread only.
#pragma once

#include "controls/MMObj.h"

#include <functional>

namespace keb
{

class TMMLED : public TMMGraphicControl
{
  public:
    explicit TMMLED(QWidget* parent = nullptr);

    std::function<void(TMMLED* sender)> OnChange;

    TColor LEDColor() const { return ledColor_; }
    void SetLEDColor(TColor color);

    bool Enabled() const override { return lit_; }
    // Redraws the lamp at once (not the bevel) when the state changes.
    void SetEnabled(bool enabled) override;

    void SetBounds(int left, int top, int width, int height) override;

    // The lamp's rectangle: the inside of the bevel.
    TRect LEDRect() const { return ledRect_; }

  protected:
    void BevelChanged() override;
    void Paint() override;

  private:
    void DrawLED();
    void Change();

    TColor ledColor_ = clLime;
    bool lit_ = true;
    TRect ledRect_;
};

} // namespace keb
