#include "controls/WheelNotches.h"

#include <QWheelEvent>

namespace keb
{

int TWheelNotches::Take(const QWheelEvent& event)
{
    Rest_ += event.angleDelta().y();
    // Division truncates towards zero, so a part-notch backwards keeps its
    // sign in the rest, as a part-notch forwards does.
    const int notches = Rest_ / EighthsPerNotch;
    Rest_ -= notches * EighthsPerNotch;
    return notches;
}

} // namespace keb
