// The application's standard error box on Qt: a modal message box with the
// error's text exactly as raised.
//
// InstallErrorBox routes keb::HandleException and keb::ShowErrorBox (see
// platform/core/Exceptions.h) to ShowQtErrorBox. A message from another
// thread is shown later by the GUI thread; the reporting thread never waits
// for the user. The caption is the application's display name.
//
// Every message also goes to standard error as one line, "<program>: " and
// the text with its line breaks turned into spaces, when the GUI thread
// takes it, so that a run nobody watches still tells what went wrong.
// While SilenceErrorBoxes holds (a run that must end, with nobody to press
// OK), messages go to standard error only.
#pragma once

#include <string>

namespace keb
{

// Shows message in a modal critical message box (GUI thread), or queues it
// for the GUI thread (any other thread). Needs a QApplication.
void ShowQtErrorBox(const std::string& message);

// Makes ShowQtErrorBox the error box of the process.
void InstallErrorBox();

// While silenced no box opens; the messages still reach standard error.
// Boxes already open stay for the caller to close (app/QuitTimer.h). GUI
// thread.
void SilenceErrorBoxes(bool silenced);

// How many messages the error box has taken so far (shown or not).
int ErrorBoxMessages();

// The message as the one line standard error gets (without the program name).
std::string ErrorLine(const std::string& message);

} // namespace keb
