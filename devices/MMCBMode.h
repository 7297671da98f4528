// The callback modes: where a device's or timer's notifications do their work.
//
//   cmWindow    the low-level handler posts to the component's hidden window;
//               the work runs in the main thread, from its message loop
//   cmCallback  the low-level handler does the work itself, at once, in the
//               notification context (the driver's or timer's own thread)
//   cmThread    the low-level handler wakes a worker thread of the component;
//               the work runs in that worker
//
// cmCallback is refused by every setter on this platform: the work would run in
// a context that must never block. AcceptCallBackMode shows the refusal through
// the error box (ShowErrorBox) and tells the setter to keep its old mode. Any
// thread may call it; setters run in the main thread.
#pragma once

#include "platform/core/Exceptions.h"

#include <string>

namespace keb
{

enum TMMCBMode
{
    cmWindow,
    cmCallback,
    cmThread
};

inline constexpr const char* kCallBacksRefusedText =
    "\"CallBacks\" are called at interrupt time !\n\r"
    "This is currently only supported under Windows 95";

// False (after showing the refusal) for cmCallback; true otherwise. The class
// name is the caption of the box; a box without captions shows it as a prefix
// line so the reader still knows which component refused.
inline bool AcceptCallBackMode(TMMCBMode mode, const std::string& className)
{
    if (mode != cmCallback)
        return true;
    ShowErrorBox(className + "\n" + kCallBacksRefusedText);
    return false;
}

} // namespace keb
