// The look of the program's windows: Qt's "Windows" style with the classic
// grey scheme of the system colours (Colors.h), so that buttons, group
// boxes and the library's own controls share one palette on every desktop.
#pragma once

class QApplication;

namespace keb
{

// Sets the style and the palette of the whole application. Main thread.
void UseClassicLook(QApplication& application);

} // namespace keb
