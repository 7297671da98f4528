// The exception tree of KEB.
//
// Every error the components raise derives from keb::Exception, the root
// class; each component family adds its own class (EMMWaveInError, ...) in its
// own header with KEB_EXCEPTION_CLASS. Errors that nobody catches go through
// HandleException, the one route to "the application's standard error box":
// the window shows a message box, headless programs print to stderr.
#pragma once

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

namespace keb
{

class Exception : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

// Declares an exception class Name deriving from Parent with its constructors.
#define KEB_EXCEPTION_CLASS(Name, Parent)                                                          \
    class Name : public Parent                                                                     \
    {                                                                                              \
      public:                                                                                      \
        using Parent::Parent;                                                                      \
    }

// The framework's own errors.
KEB_EXCEPTION_CLASS(EOutOfMemory, Exception);
KEB_EXCEPTION_CLASS(EListError, Exception);
KEB_EXCEPTION_CLASS(EClassNotFound, Exception);
KEB_EXCEPTION_CLASS(EStreamError, Exception);
KEB_EXCEPTION_CLASS(EReadError, EStreamError);
KEB_EXCEPTION_CLASS(EInOutError, Exception);
KEB_EXCEPTION_CLASS(EDivByZero, Exception);
KEB_EXCEPTION_CLASS(EOutOfResources, Exception);
KEB_EXCEPTION_CLASS(EThreadError, Exception);

// Receives the text of an error that reached the top of a command.
using TErrorBoxHandler = std::function<void(const std::string& message)>;

// Replaces the error box; an empty handler restores the default (stderr).
// Returns the previous handler so that tests can restore it.
TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler);

// Shows the message of the exception being handled in the error box.
void HandleException(const std::exception& error);

// Shows a plain message in the error box.
void ShowErrorBox(const std::string& message);

} // namespace keb
