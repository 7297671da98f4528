// Drains the main thread's message loop (platform/core/MainLoop.h) from Qt's
// event loop.
//
// AttachMainLoopToQt sets the main loop's wake hook: whenever a message or a
// synchronise request arrives, from any thread, one ProcessMessages call is
// queued on Qt's event loop (further wake-ups before it runs add nothing).
// It also drains what was pending already. DetachMainLoopFromQt removes the
// hook; call it before the QApplication goes. Both main thread only.
#pragma once

namespace keb
{

void AttachMainLoopToQt();
void DetachMainLoopFromQt();

} // namespace keb
