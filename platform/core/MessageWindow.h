// Hidden message windows: the targets of messages posted to the main thread.
//
// A window is a handle plus a procedure. Create and destroy it on the main
// thread; post to its handle from any thread (PostMessage, MainLoop.h). The
// procedure runs on the main thread when the loop is drained. Destroying the
// window drops its pending messages, and later posts to the old handle fail, so
// a poster never reaches a destroyed window. A procedure must not destroy its
// own window while it runs.
#pragma once

#include "platform/core/MessageQueue.h"

#include <functional>

namespace keb
{

class TMessageWindow
{
  public:
    using TWindowProc = std::function<void(const TMessage& message)>;

    explicit TMessageWindow(TWindowProc procedure);
    ~TMessageWindow();
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    TWindowHandle Handle() const { return handle_; }

    // Posts to this window; any thread.
    bool Post(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;

    // Drops this window's pending messages numbered first .. last.
    std::size_t RemoveMessages(std::uint32_t first, std::uint32_t last) const;

    // Runs the procedure; an exception it raises goes to HandleException.
    void Dispatch(const TMessage& message);

  private:
    TWindowProc procedure_;
    TWindowHandle handle_;
};

} // namespace keb
