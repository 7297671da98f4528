#include "platform/core/MainLoop.h"

#include "platform/core/MainLoopInternal.h"
#include "platform/core/MessageWindow.h"
#include "platform/core/WaitKernel.h"

#include <atomic>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace keb
{
namespace
{
struct TSyncRequest
{
    const std::function<void()>* Method = nullptr;
    bool Done = false;
    std::exception_ptr Error;
};

// Windows and synchronise requests are guarded by the kernel lock; the hook
// by its own lock so that it is never called with the kernel lock held.
struct TMainLoopState
{
    std::atomic<std::thread::id> MainThread{};
    std::atomic<bool> Terminated{false};
    TMessageQueue Queue{256};
    std::unordered_map<TWindowHandle, TMessageWindow*> Windows;
    TWindowHandle NextHandle = 1;
    std::deque<TSyncRequest*> SyncRequests;
    // The requests' count, read without the lock by the main thread's polls.
    std::atomic<std::size_t> SyncCount{0};
    std::mutex HookLock;
    std::function<void()> WakeHook;
};

// Never destroyed, like the kernel: workers may post while statics go away.
TMainLoopState& State()
{
    static TMainLoopState* state = new TMainLoopState;
    return *state;
}

void CallWakeHook()
{
    TMainLoopState& state = State();
    std::lock_guard guard(state.HookLock);
    if (state.WakeHook)
        state.WakeHook();
}

// Takes the oldest message and runs its window's procedure (a message to a
// window that is gone is dropped). False when no message was pending.
bool DispatchNextMessage()
{
    TMessage message;
    TMessageWindow* window = nullptr;
    {
        std::lock_guard guard(detail::KernelMutex());
        TMainLoopState& state = State();
        if (!state.Queue.TakeLocked(message))
            return false;
        const auto found = state.Windows.find(message.Window);
        if (found != state.Windows.end())
            window = found->second;
    }
    if (window)
        window->Dispatch(message);
    return true;
}
} // namespace

namespace detail
{
void EnsureMainThread()
{
    std::thread::id none;
    State().MainThread.compare_exchange_strong(none, std::this_thread::get_id());
}

TWindowHandle RegisterWindow(TMessageWindow* window)
{
    EnsureMainThread();
    std::lock_guard guard(KernelMutex());
    TMainLoopState& state = State();
    const TWindowHandle handle = state.NextHandle++;
    state.Windows.emplace(handle, window);
    return handle;
}

void UnregisterWindow(TWindowHandle handle)
{
    TMainLoopState& state = State();
    {
        std::lock_guard guard(KernelMutex());
        state.Windows.erase(handle);
    }
    state.Queue.Remove(handle, 0, AllMessages);
}

bool SyncPendingLocked()
{
    return !State().SyncRequests.empty();
}

TMessageQueue& MainQueue()
{
    return State().Queue;
}
} // namespace detail

void InitMainThread()
{
    State().MainThread.store(std::this_thread::get_id());
}

bool IsMainThread()
{
    return State().MainThread.load() == std::this_thread::get_id();
}

bool PostMessage(TWindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                 std::intptr_t lParam)
{
    TMainLoopState& state = State();
    {
        detail::TWakeUps wakeUps;
        std::lock_guard guard(detail::KernelMutex());
        if (!state.Windows.contains(window))
            return false;
        state.Queue.PostLocked(TMessage{window, msg, wParam, lParam});
        wakeUps.Collect(&state.Queue);
    }
    CallWakeHook();
    return true;
}

std::size_t RemovePendingMessages(TWindowHandle window, std::uint32_t first, std::uint32_t last)
{
    return State().Queue.Remove(window, first, last);
}

void ProcessMessages()
{
    if (!IsMainThread())
        return;
    CheckSynchronize();
    for (std::size_t pending = State().Queue.Count(); pending > 0; --pending)
        DispatchNextMessage();
}

bool HandleMessage()
{
    if (!IsMainThread())
        return false;
    CheckSynchronize();
    return DispatchNextMessage();
}

void SetApplicationTerminated(bool terminated)
{
    State().Terminated.store(terminated);
    {
        detail::TWakeUps wakeUps;
        std::lock_guard guard(detail::KernelMutex());
        wakeUps.CollectAll();
    }
    CallWakeHook();
}

bool ApplicationTerminated()
{
    return State().Terminated.load();
}

bool WaitAndProcessMessages(std::uint32_t timeoutMs)
{
    if (!IsMainThread())
        return false;
    bool pending = false;
    {
        const auto deadline = detail::DeadlineAfter(timeoutMs);
        const detail::TWatched watched{{}, &State().Queue, detail::SyncRequestsKey()};
        std::unique_lock lock(detail::KernelMutex());
        const auto workWaits = []
        { return State().Queue.CountLocked() > 0 || detail::SyncPendingLocked(); };
        for (;;)
        {
            pending = workWaits();
            if (pending || !detail::KernelWait(lock, watched, deadline))
                break;
        }
    }
    ProcessMessages();
    return pending;
}

void RunSynchronized(const std::function<void()>& method)
{
    if (IsMainThread())
    {
        method();
        return;
    }
    TSyncRequest request;
    request.Method = &method;
    {
        detail::TWakeUps wakeUps;
        std::lock_guard guard(detail::KernelMutex());
        auto& requests = State().SyncRequests;
        requests.push_back(&request);
        State().SyncCount.store(requests.size(), std::memory_order_release);
        wakeUps.Collect(detail::SyncRequestsKey());
    }
    CallWakeHook();
    {
        const detail::TWatched watched{{}, nullptr, &request};
        std::unique_lock lock(detail::KernelMutex());
        while (!request.Done)
            detail::KernelWait(lock, watched, std::nullopt);
    }
    if (request.Error)
        std::rethrow_exception(request.Error);
}

bool CheckSynchronize()
{
    if (!IsMainThread())
        return false;
    bool ran = false;
    for (;;)
    {
        if (State().SyncCount.load(std::memory_order_acquire) == 0)
            return ran;
        TSyncRequest* request = nullptr;
        {
            std::lock_guard guard(detail::KernelMutex());
            auto& requests = State().SyncRequests;
            if (requests.empty())
                return ran;
            request = requests.front();
            requests.pop_front();
            State().SyncCount.store(requests.size(), std::memory_order_release);
        }
        try
        {
            (*request->Method)();
        }
        catch (...)
        {
            request->Error = std::current_exception();
        }
        {
            detail::TWakeUps wakeUps;
            std::lock_guard guard(detail::KernelMutex());
            request->Done = true;
            wakeUps.Collect(request);
        }
        ran = true;
    }
}

std::function<void()> SetMainLoopWakeHook(std::function<void()> hook)
{
    TMainLoopState& state = State();
    std::lock_guard guard(state.HookLock);
    std::swap(state.WakeHook, hook);
    return hook;
}

} // namespace keb
