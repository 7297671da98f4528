// Part of the stream components (MMDSPObj.h): TMMDSPThread, the workers'
// registry, and SyncToMainThread.
#include "stream/MMDSPObj.h"

#include "platform/core/MainLoop.h"

#include <algorithm>
#include <mutex>

namespace keb
{
namespace
{
// Free-on-terminate workers leave the registry from their own thread, so
// unlike the component registry this one has a lock.
struct TThreadRegistry
{
    std::mutex Lock;
    std::vector<TMMDSPThread*> Threads;
};

TThreadRegistry& Registry()
{
    static TThreadRegistry* registry = new TThreadRegistry;
    return *registry;
}

bool IsRegistered(const TThread* thread)
{
    TThreadRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    return std::find(registry.Threads.begin(), registry.Threads.end(), thread) !=
           registry.Threads.end();
}
} // namespace

TMMDSPThread::TMMDSPThread(TMMDSPComponent* owner) : owner_(owner)
{
    TThreadRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    registry.Threads.push_back(this);
}

TMMDSPThread::~TMMDSPThread()
{
    TThreadRegistry& registry = Registry();
    std::lock_guard guard(registry.Lock);
    auto& threads = registry.Threads;
    threads.erase(std::remove(threads.begin(), threads.end(), this), threads.end());
}

void SyncToMainThread(const std::function<void()>& method)
{
    TThread* current = TThread::Current();
    if (current && !IsMainThread() && IsRegistered(current))
        current->Synchronize(method);
    else
        method();
}

} // namespace keb
