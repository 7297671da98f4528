#include "controls/WheelNotches.h"

#include <QWheelEvent>

namespace keb
{

int TWheelNotches::Take(const QWheelEvent& event)
{
    rest_ += event.angleDelta().y();
    // Division truncates towards zero, so a part-notch backwards keeps its
    // sign in the rest, as a part-notch forwards does.
    const int notches = rest_ / EighthsPerNotch;
    rest_ -= notches * EighthsPerNotch;
    return notches;
}

} // namespace keb
