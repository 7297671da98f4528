#include "platform/core/Thread.h"

#include "platform/core/Exceptions.h"
#include "platform/core/MainLoop.h"
#include "platform/core/Wait.h"

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace keb
{
namespace
{
thread_local TThread* currentThread = nullptr;

#ifdef __linux__
int NiceValue(TThreadPriority priority)
{
    switch (priority)
    {
    case TThreadPriority::tpIdle:
        return 19;
    case TThreadPriority::tpLowest:
        return 10;
    case TThreadPriority::tpLower:
        return 5;
    case TThreadPriority::tpNormal:
        return 0;
    case TThreadPriority::tpHigher:
        return -5;
    case TThreadPriority::tpHighest:
        return -10;
    case TThreadPriority::tpTimeCritical:
        return -20;
    }
    return 0;
}
#endif
} // namespace

TThread::TThread() = default;

TThread::~TThread()
{
    if (std::this_thread::get_id() == thread_.get_id())
    {
        thread_.detach();
        return;
    }
    TerminateAndWait();
    if (thread_.joinable())
        thread_.join();
}

void TThread::Resume()
{
    if (started_.exchange(true))
        return;
    std::lock_guard guard(startLock_);
    thread_ = std::thread([this] { Run(); });
}

void TThread::Run()
{
    // A free-on-terminate thread may end and delete its object before Resume
    // has stored the thread handle; it starts only after the store.
    {
        std::lock_guard guard(startLock_);
    }
    currentThread = this;
#ifdef __linux__
    nativeId_.store(static_cast<int>(gettid()));
#endif
    ApplyPriority();
    try
    {
        Execute();
    }
    catch (...)
    {
        fatalException_ = std::current_exception();
    }
    const bool freeSelf = freeOnTerminate_.load();
    nativeId_.store(0);
    finished_.store(true);
    finishedEvent_.SetEvent();
    if (freeSelf)
        delete this;
}

int TThread::WaitFor()
{
    if (Current() == this)
        throw EThreadError("Thread cannot wait for itself");
    if (!started_.load())
        throw EThreadError("Thread was never started");
    WaitForAny({&finishedEvent_}, nullptr, Infinite, /*serveSynchronize=*/true);
    return returnValue_.load();
}

void TThread::TerminateAndWait()
{
    Terminate();
    if (started_.load() && Current() != this)
        WaitFor();
}

void TThread::SetPriority(TThreadPriority priority)
{
    priority_.store(priority);
    ApplyPriority();
}

void TThread::ApplyPriority()
{
#ifdef __linux__
    const int id = nativeId_.load();
    if (id != 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(id), NiceValue(priority_.load()));
#endif
}

void TThread::Synchronize(const std::function<void()>& method)
{
    RunSynchronized(method);
}

void TThread::PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    queue_.Post(TMessage{0, msg, wParam, lParam});
}

TThread* TThread::Current()
{
    return currentThread;
}

} // namespace keb
