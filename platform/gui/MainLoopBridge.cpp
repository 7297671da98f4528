#include "platform/gui/MainLoopBridge.h"

#include "platform/core/MainLoop.h"

#include <QCoreApplication>
#include <atomic>

namespace keb
{

namespace
{

// Set while a drain is queued on Qt's loop and has not started yet.
std::atomic<bool> DrainQueued{false};

void Drain()
{
    // Cleared before draining: whatever arrives during the drain queues the
    // next one, so nothing waits for a later, unrelated wake-up.
    DrainQueued.store(false);
    ProcessMessages();
}

void QueueDrain()
{
    if (DrainQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), Drain, Qt::QueuedConnection);
}

} // namespace

void AttachMainLoopToQt()
{
    SetMainLoopWakeHook(QueueDrain);
    QueueDrain();
}

void DetachMainLoopFromQt()
{
    SetMainLoopWakeHook({});
}

} // namespace keb
