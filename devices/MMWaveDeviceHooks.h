// The two user-interface effects of the device components, behind hooks so
// that the window program shows them and headless programs and tests do not
// need a screen: a message box (default: the text goes to ShowErrorBox, which
// prints to stderr when headless) and the hourglass cursor (default: nothing).
// Set the hooks in the main thread before the devices run; they are called in
// the main thread.
#pragma once

#include <functional>
#include <string>

namespace keb
{

using TMessageBoxHook = std::function<void(const std::string& text, const std::string& caption)>;
// Busy true: show the hourglass; false: restore the cursor.
using TBusyCursorHook = std::function<void(bool busy)>;

// Each returns the previous hook; an empty hook restores the default.
TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook);
TBusyCursorHook SetBusyCursorHook(TBusyCursorHook hook);

void ShowMessageBox(const std::string& text, const std::string& caption);

// The message box of a component that refuses cmCallback (work at interrupt
// time, which this platform does not offer), captioned with its class name.
void ShowCallBacksRefused(const std::string& className);

// Shows the hourglass from construction to destruction (also when an
// exception leaves the scope).
class TBusyCursor
{
  public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

} // namespace keb
