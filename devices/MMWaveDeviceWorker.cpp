// Where the work of a finished buffer runs: the worker thread of cmThread
// mode with its start/close handshake, and the hidden window of the main
// thread, which also receives the stop request and the worker's failure.
#include "devices/MMWaveDevice.h"
#include "platform/core/MainLoop.h"
#include "platform/core/Wait.h"

#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

namespace keb
{
namespace
{
constexpr std::uint32_t kWorkerHandshakeMs = 5000;
} // namespace

TMMWaveDeviceThread::TMMWaveDeviceThread(TMMWaveDevice* Device)
    : TMMDSPThread(Device), device_(Device)
{
}

TMMWaveDeviceThread::~TMMWaveDeviceThread()
{
    TerminateAndWait();
}

void TMMWaveDeviceThread::Execute()
{
    device_->RunWorker(*this);
}

bool TMMWaveDevice::IsCurrentSession(std::uintptr_t Value) const
{
    return Handle() && Value == session_.load();
}

void TMMWaveDevice::StartWorker()
{
    workerError_ = nullptr;
    threadStartEvent_ = std::make_unique<TEvent>(false, false);
    threadCloseEvent_ = std::make_unique<TEvent>(false, false);
    flushEvent_ = std::make_unique<TEvent>(true, false);
    bool running = false;
    try
    {
        thread_ = std::make_unique<TMMWaveDeviceThread>(this);
        thread_->Resume();
        running = threadStartEvent_->WaitFor(kWorkerHandshakeMs) == TWaitResult::wrSignaled;
    }
    catch (const std::system_error&)
    {
        running = false;
    }
    if (!running)
        DeviceError(DeviceMessage(std::string(traits_.Api) + ":", "Could not create thread"));
    worker_.store(thread_.get());
}

void TMMWaveDevice::EndWorker()
{
    if (!thread_)
        return;
    worker_.store(nullptr);
    threadCloseEvent_->SetEvent();
    // A worker blocked in SyncToMainThread needs the main thread meanwhile.
    const bool ended = WaitForAny({threadStartEvent_.get()}, nullptr, kWorkerHandshakeMs,
                                  /*serveSynchronize=*/true) != kWaitTimeout;
    if (ended)
    {
        thread_.reset();
    }
    else
    {
        // A worker stuck in a handler: it frees itself when it ends and may
        // still touch its events, so they are given up rather than freed.
        thread_->SetFreeOnTerminate(true);
        static_cast<void>(thread_.release());
        static_cast<void>(threadStartEvent_.release());
        static_cast<void>(threadCloseEvent_.release());
        static_cast<void>(flushEvent_.release());
    }
    threadStartEvent_.reset();
    threadCloseEvent_.reset();
    flushEvent_.reset();
}

void TMMWaveDevice::RunWorker(TThread& Worker)
{
    Worker.SetPriority(TThreadPriority::tpHigher);
    threadStartEvent_->SetEvent();
    TMessageQueue& queue = Worker.MessageQueue();
    while (!Worker.Terminated())
    {
        TMessage message;
        if (!queue.Take(message))
        {
            const int signalled =
                WaitForAny({threadCloseEvent_.get(), flushEvent_.get()}, &queue, kInfinite);
            if (signalled == 0)
                break;
            if (signalled == 1)
            {
                queue.Remove(0, traits_.DataMessage, traits_.DataMessage);
                flushEvent_->ResetEvent();
            }
            continue;
        }
        if (message.Msg != traits_.DataMessage || !IsCurrentSession(message.WParam) ||
            stopping_.load())
            continue;
        try
        {
            HandleBufferDone(reinterpret_cast<TWaveHdr*>(message.LParam));
        }
        catch (...)
        {
            workerError_ = std::current_exception();
            window_->Post(kWorkerFailedMessage, message.WParam);
            break;
        }
    }
    threadStartEvent_->SetEvent();
}

void TMMWaveDevice::WaitForWorkerHandlers()
{
    if (callBackMode_ != cmThread || TThread::Current() == thread_.get())
        return;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWorkerHandshakeMs);
    while (inHandler_.load() > 0 && std::chrono::steady_clock::now() < deadline)
    {
        CheckSynchronize();
        std::this_thread::yield();
    }
}

void TMMWaveDevice::DiscardPendingDone()
{
    if (callBackMode_ != cmThread)
    {
        window_->RemoveMessages(traits_.DataMessage, traits_.DataMessage);
        return;
    }
    if (!flushEvent_)
        return;
    flushEvent_->SetEvent();
    // The worker resets the event once it has emptied its queue.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWorkerHandshakeMs);
    while (flushEvent_->WaitFor(0) == TWaitResult::wrSignaled &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
}

void TMMWaveDevice::DeliverDone(TWaveHdr* Header)
{
    const auto header = reinterpret_cast<std::intptr_t>(Header);
    if (callBackMode_ != cmThread)
        window_->Post(traits_.DataMessage, session_.load(), header);
    else if (TMMWaveDeviceThread* worker = worker_.load())
        worker->PostMessage(traits_.DataMessage, session_.load(), header);
}

void TMMWaveDevice::PostStopRequest()
{
    stopping_ = true;
    window_->Post(kStopRequestMessage, session_.load());
}

// EnterHandler, LeaveHandler and DeferStopBehindHandler share the lock, so a
// stop either sees the handler counted in or the handler sees Stopping, and a
// handler leaving never misses a stop deferred behind it.
bool TMMWaveDevice::EnterHandler(bool CountReturn)
{
    std::lock_guard guard(lock_);
    if (!HasState(wsStarted))
        return false;
    if (resetting_.load() || stopping_.load())
    {
        if (CountReturn && --queuedCount_ == 0)
            resetting_ = false;
        return false;
    }
    ++inHandler_;
    if (CountReturn)
        --queuedCount_;
    return true;
}

bool TMMWaveDevice::LeaveHandler(bool QueueEmptyEnds)
{
    std::lock_guard guard(lock_);
    const bool stopDue =
        --inHandler_ == 0 && (stopDeferred_.load() || (QueueEmptyEnds && queuedCount_.load() == 0));
    if (stopDue)
        stopping_ = true;
    return stopDue;
}

bool TMMWaveDevice::DeferStopBehindHandler()
{
    std::lock_guard guard(lock_);
    if (inHandler_.load() < 1)
        return false;
    stopDeferred_ = true;
    return true;
}

void TMMWaveDevice::WindowProc(const TMessage& Message)
{
    if (!IsCurrentSession(Message.WParam))
        return;
    try
    {
        if (Message.Msg == traits_.DataMessage)
            HandleBufferDone(reinterpret_cast<TWaveHdr*>(Message.LParam));
        else if (Message.Msg == kStopRequestMessage)
            Stop();
        else if (Message.Msg == kWorkerFailedMessage)
            std::rethrow_exception(std::exchange(workerError_, nullptr));
    }
    catch (...)
    {
        Close();
        throw;
    }
}

} // namespace keb
