// The application's standard error box on Qt: a modal message box with the
// error's text exactly as raised.
//
// InstallErrorBox routes keb::HandleException and keb::ShowErrorBox (see
// platform/core/Exceptions.h) to ShowQtErrorBox. A message from another
// thread is shown later by the GUI thread; the reporting thread never waits
// for the user. The caption is the application's display name.
#pragma once

#include <string>

namespace keb
{

// Shows message in a modal critical message box (GUI thread), or queues it
// for the GUI thread (any other thread). Needs a QApplication.
void ShowQtErrorBox(const std::string& message);

// Makes ShowQtErrorBox the error box of the process.
void InstallErrorBox();

} // namespace keb
