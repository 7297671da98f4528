// What the message windows and the wait machinery need of the main loop.
// Internal to platform/core.
#pragma once

#include "platform/core/MessageQueue.h"

namespace keb
{
class TMessageWindow;
}

namespace keb::detail
{

// Names the calling thread the main thread unless one is named already.
void EnsureMainThread();

TWindowHandle RegisterWindow(TMessageWindow* window);

// Forgets the window and drops its pending messages.
void UnregisterWindow(TWindowHandle handle);

// With the kernel lock held.
bool SyncPendingLocked();
TMessageQueue& MainQueue();

} // namespace keb::detail
