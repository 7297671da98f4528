// Whole notches of a mouse's scroll wheel, from Qt's wheel events.
//
// One notch of an ordinary wheel is 120 eighths of a degree. Fine-grained
// wheels and touch pads send parts of a notch; the parts add up, and a step
// is taken each time they make a whole notch. Only the vertical wheel
// counts: forwards (away from the user) is positive. One counter per
// control, main thread only.
#pragma once

class QWheelEvent;

namespace keb
{

class TWheelNotches
{
  public:
    static constexpr int EighthsPerNotch = 120;

    // The whole notches the event completes; the rest is kept for the next.
    int Take(const QWheelEvent& event);

  private:
    int rest_ = 0;
};

} // namespace keb
