// The main thread's message loop.
//
// The main thread is the thread that first initialises the loop: the first
// to call InitMainThread or to construct a message window or a component.
// InitMainThread also names it explicitly (the calling thread becomes the
// main thread). Until one is named, nothing runs the loop's work.
//
// Work reaches the main thread in two ways, both from any thread and without
// blocking the poster:
//   - messages posted to a hidden message window (MessageWindow.h);
//   - synchronise requests (RunSynchronized), whose caller blocks until the
//     main thread has run them.
// Somebody must drain the loop on the main thread: the Qt program does it from
// Qt's event loop whenever the wake-up hook fires; tests and the offline tool
// call ProcessMessages or WaitAndProcessMessages themselves.
#pragma once

#include "platform/core/MessageQueue.h"

#include <cstdint>
#include <functional>

namespace keb
{

// Makes the calling thread the main thread.
void InitMainThread();

// True on the main thread (false everywhere while none has been named yet).
bool IsMainThread();

// Posts a message to a hidden window of the main thread. Any thread; never
// blocks. False (and nothing posted) when no window has that handle.
bool PostMessage(TWindowHandle window, std::uint32_t msg, std::uintptr_t wParam = 0,
                 std::intptr_t lParam = 0);

// Removes the pending messages of `window` numbered first .. last; returns the
// count removed.
std::size_t RemovePendingMessages(TWindowHandle window, std::uint32_t first, std::uint32_t last);

// Runs, on the main thread, every pending synchronise request and the messages
// that were pending when it was called (messages that handlers post meanwhile
// wait for the next call, so a handler that re-posts itself cannot hold the
// caller for ever). Handlers that raise go to HandleException. On any other
// thread it does nothing.
void ProcessMessages();

// Main thread: runs the pending synchronise requests and at most one pending
// message; true if a message was taken. On any other thread it does nothing.
bool HandleMessage();

// Marks the application as terminating (the main window has closed), or no
// longer (tests); loops that keep re-posting work stop on it. Any thread.
void SetApplicationTerminated(bool terminated);
bool ApplicationTerminated();

// Main thread: waits up to timeoutMs until a message or synchronise request is
// pending, then runs ProcessMessages. Returns whether anything was pending.
bool WaitAndProcessMessages(std::uint32_t timeoutMs);

// Runs `method` on the main thread: directly when called there, otherwise the
// caller blocks until the main thread has run it. An exception the method
// raises is raised again in the caller.
void RunSynchronized(const std::function<void()>& method);

// Main thread: runs the pending synchronise requests; true if any ran.
bool CheckSynchronize();

// Sets the hook called (from the posting thread) whenever a message or a
// synchronise request arrives for the main loop, so that a GUI can schedule a
// drain. The hook must be quick and must not post to the main loop itself.
// An empty hook removes it. Returns the previous hook.
std::function<void()> SetMainLoopWakeHook(std::function<void()> hook);

} // namespace keb
