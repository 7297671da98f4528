// Part of TMMWaveDevice (MMWaveDevice.h): where the work of a finished buffer
// runs: the worker thread of cmThread mode with its start/close handshake, and
// the hidden window of the main thread, which also receives the stop request
// and the worker's failure.
#include "devices/MMWaveDevice.h"

#include "platform/core/MainLoop.h"
#include "platform/core/Wait.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

namespace keb
{
namespace
{
constexpr std::uint32_t WorkerHandshakeMs = 5000;

// A worker inside a buffer handler when its bound ran out would come back
// into a device that may be gone: nothing safe is left to do but stop.
[[noreturn]] void WorkerOverran(const char* api)
{
    std::fprintf(stderr,
                 "keb: the %s worker did not end within 5 seconds (held in a buffer handler); "
                 "the program stops\n",
                 api);
    std::abort();
}
} // namespace

TMMWaveDeviceThread::TMMWaveDeviceThread(TMMWaveDevice* device, std::uint32_t dataMessage)
    : TMMDSPThread(device), device_(device), dataMessage_(dataMessage)
{
}

TMMWaveDeviceThread::~TMMWaveDeviceThread()
{
    TerminateAndWait();
}

bool TMMWaveDeviceThread::EnterDevice()
{
    int expected = Idle;
    return gate_.compare_exchange_strong(expected, InDevice);
}

bool TMMWaveDeviceThread::Detach()
{
    int expected = Idle;
    return gate_.compare_exchange_strong(expected, Detached);
}

void TMMWaveDeviceThread::Execute()
{
    SetPriority(TThreadPriority::tpHigher);
    startEvent_.SetEvent();
    TMessageQueue& queue = MessageQueue();
    while (!Terminated())
    {
        TMessage message;
        if (!queue.Take(message))
        {
            const int signalled = WaitForAny({&closeEvent_, &flushEvent_}, &queue, Infinite);
            if (signalled == 0)
                break;
            if (signalled == 1)
            {
                queue.Remove(0, dataMessage_, dataMessage_);
                flushEvent_.ResetEvent();
            }
            continue;
        }
        if (message.Msg != dataMessage_)
            continue;
        if (!EnterDevice())
            break;
        const bool goOn = device_->HandleWorkerMessage(message);
        gate_.store(Idle);
        if (!goOn)
            break;
    }
    // A detached worker is nobody's any more: it frees itself.
    if (gate_.exchange(Finished) == Detached)
        SetFreeOnTerminate(true);
    else
        startEvent_.SetEvent();
}

bool TMMWaveDevice::IsCurrentSession(std::uintptr_t value) const
{
    return Handle() && value == session_.load();
}

void TMMWaveDevice::StartWorker()
{
    workerError_ = nullptr;
    bool running = false;
    try
    {
        thread_ = std::make_unique<TMMWaveDeviceThread>(this, traits_.DataMessage);
        thread_->Resume();
        running = thread_->StartEvent().WaitFor(WorkerHandshakeMs) == TWaitResult::wrSignaled;
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
    thread_->CloseEvent().SetEvent();
    // A worker blocked in SyncToMainThread needs the main thread meanwhile.
    const bool ended = WaitForAny({&thread_->StartEvent()}, nullptr, WorkerHandshakeMs,
                                  /*serveSynchronize=*/true) != WaitTimeout;
    if (!ended && thread_->Detach())
    {
        // Late, but outside device code: it leaves on its own close event.
        static_cast<void>(thread_.release());
        return;
    }
    if (!ended && !thread_->Ended())
        WorkerOverran(traits_.Api);
    thread_.reset();
}

bool TMMWaveDevice::HandleWorkerMessage(const TMessage& message)
{
    if (!IsCurrentSession(message.WParam) || stopping_.load())
        return true;
    try
    {
        HandleBufferDone(reinterpret_cast<TWaveHdr*>(message.LParam));
    }
    catch (...)
    {
        workerError_ = std::current_exception();
        window_->Post(WorkerFailedMessage, message.WParam);
        return false;
    }
    return true;
}

void TMMWaveDevice::WaitForWorkerHandlers()
{
    if (callBackMode_ != cmThread || TThread::Current() == thread_.get())
        return;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(WorkerHandshakeMs);
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
    if (!thread_)
        return;
    TEvent& flush = thread_->FlushEvent();
    flush.SetEvent();
    // The worker resets the event once it has emptied its queue.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(WorkerHandshakeMs);
    while (flush.WaitFor(0) == TWaitResult::wrSignaled &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
}

void TMMWaveDevice::DeliverDone(TWaveHdr* header)
{
    const auto headerValue = reinterpret_cast<std::intptr_t>(header);
    if (callBackMode_ != cmThread)
        window_->Post(traits_.DataMessage, session_.load(), headerValue);
    else if (TMMWaveDeviceThread* worker = worker_.load())
        worker->PostMessage(traits_.DataMessage, session_.load(), headerValue);
}

void TMMWaveDevice::PostStopRequest()
{
    stopping_ = true;
    window_->Post(StopRequestMessage, session_.load());
}

// EnterHandler, LeaveHandler and DeferStopBehindHandler share the lock, so a
// stop either sees the handler counted in or the handler sees Stopping, and a
// handler leaving never misses a stop deferred behind it.
bool TMMWaveDevice::EnterHandler(bool countReturn)
{
    std::lock_guard guard(lock_);
    if (!HasState(wsStarted))
        return false;
    if (resetting_.load() || stopping_.load())
    {
        if (countReturn && --queuedCount_ == 0)
            resetting_ = false;
        return false;
    }
    ++inHandler_;
    if (countReturn)
        --queuedCount_;
    return true;
}

bool TMMWaveDevice::LeaveHandler(bool queueEmptyEnds)
{
    std::lock_guard guard(lock_);
    // The queued count first: a buffer that has left it is already counted
    // on its way. (Below zero only when a finished buffer from before the
    // last start was handled after it.)
    const bool stopDue =
        --inHandler_ == 0 && (stopDeferred_.load() || (queueEmptyEnds && queuedCount_.load() == 0 &&
                                                       finishedOnTheWay_.load() <= 0));
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

void TMMWaveDevice::WindowProc(const TMessage& message)
{
    if (!IsCurrentSession(message.WParam))
        return;
    try
    {
        if (message.Msg == traits_.DataMessage)
            HandleBufferDone(reinterpret_cast<TWaveHdr*>(message.LParam));
        else if (message.Msg == StopRequestMessage)
            Stop();
        else if (message.Msg == WorkerFailedMessage)
            std::rethrow_exception(std::exchange(workerError_, nullptr));
    }
    catch (...)
    {
        Close();
        throw;
    }
}

} // namespace keb
