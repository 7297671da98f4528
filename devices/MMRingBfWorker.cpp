// Part of TMMRingBuffer (MMRingBf.h): the worker (TMMQueueThread,
// MMRingBfThread.h) and the read-ahead and write-on passes it runs.
#include "devices/MMRingBf.h"

#include "devices/MMRingBfThread.h"
#include "platform/core/Wait.h"
#include "stream/MMUtils.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace keb
{
namespace
{
constexpr std::uint32_t ThreadStartTimeOutMs = 5000;

void SleepOneMs()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Runs the end of a pass however the pass leaves.
class TPassEnd
{
  public:
    explicit TPassEnd(std::function<void()> finish) : finish_(std::move(finish)) {}
    ~TPassEnd() { finish_(); }
    TPassEnd(const TPassEnd&) = delete;
    TPassEnd& operator=(const TPassEnd&) = delete;

  private:
    std::function<void()> finish_;
};
} // namespace

TMMQueueThread::TMMQueueThread(TMMRingBuffer* owner) : TMMDSPThread(owner), ring_(owner) {}

TMMQueueThread::~TMMQueueThread()
{
    TerminateAndWait();
}

// A pass that raises has already reported itself done (TPassEnd); the error
// goes to the error box and the worker stays ready for the next request.
void TMMQueueThread::Execute()
{
    SetPriority(TThreadPriority::tpHigher);
    ring_->threadStartEvent_.SetEvent();
    while (!Terminated())
    {
        const int woken =
            WaitForAny({&ring_->threadCloseEvent_, &ring_->workEvent_}, nullptr, Infinite);
        if (woken == 0)
            break;
        try
        {
            ring_->RunPass();
        }
        catch (const std::exception& error)
        {
            SyncToMainThread([&error] { HandleException(error); });
        }
    }
    ring_->threadStartEvent_.SetEvent();
}

void TMMRingBuffer::StartWorker()
{
    threadError_ = false;
    threadStartEvent_.ResetEvent();
    workEvent_.ResetEvent();
    workDoneEvent_.ResetEvent();
    threadCloseEvent_.ResetEvent();
    {
        std::lock_guard guard(lock_);
        passPending_ = false;
    }
    thread_ = std::make_unique<TMMQueueThread>(this);
    thread_->Resume();
    if (threadStartEvent_.WaitFor(ThreadStartTimeOutMs) != TWaitResult::wrSignaled)
    {
        threadError_ = true;
        EndWorker();
        throw EMMBufferError("RingBuffer:\n\rCould not create thread");
    }
}

void TMMRingBuffer::EndWorker()
{
    if (!thread_)
        return;
    if (!threadError_)
        WaitForPass(-1);
    thread_->Terminate();
    threadCloseEvent_.SetEvent();
    thread_.reset();
}

bool TMMRingBuffer::RequestPass()
{
    std::lock_guard guard(lock_);
    if (passPending_ || !thread_)
        return false;
    passPending_ = true;
    workDoneEvent_.ResetEvent();
    workEvent_.SetEvent();
    return true;
}

// Takes the pass for the caller itself, without waking the worker.
bool TMMRingBuffer::ClaimPass()
{
    std::lock_guard guard(lock_);
    if (passPending_)
        return false;
    passPending_ = true;
    workDoneEvent_.ResetEvent();
    return true;
}

void TMMRingBuffer::FinishPass()
{
    {
        std::lock_guard guard(lock_);
        passPending_ = false;
        workEvent_.ResetEvent();
    }
    workDoneEvent_.SetEvent();
}

bool TMMRingBuffer::PassPending() const
{
    std::lock_guard guard(lock_);
    return passPending_;
}

// Polls in 1 ms steps; on the main thread the wait keeps serving synchronise
// requests, so a pass whose handler synchronises can end. A negative
// TimeOutMs waits for ever.
bool TMMRingBuffer::WaitForPass(std::int32_t timeOutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeOutMs);
    while (PassPending())
    {
        if (timeOutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
        WaitForAny({&workDoneEvent_}, nullptr, 1, true);
    }
    return true;
}

void TMMRingBuffer::RunPass()
{
    if (queueMode_ == qmRead)
        ReadAheadPass();
    else
        WriteOnPass();
}

void TMMRingBuffer::ReadAheadPass()
{
    TPassEnd passEnd([this] { FinishPass(); });
    if (!QueueOpen() || BytesFree() <= 0)
        return;
    FillQueue();
    TWaveHdr* spare = &spareHeader_->wh;
    while (BytesFree() >= 1 && !abort_.load())
    {
        spare->dwBufferLength = static_cast<std::uint32_t>(IntMin(BytesFree(), readChunk_));
        spare->dwBytesRecorded = 0;
        bool more = false;
        {
            std::lock_guard guard(lock_);
            spareHeader_->LoopFlag = loopState_.LoopFlag;
            spareHeader_->LoopCount = loopState_.LoopCount;
            spareHeader_->LoopsRemaining = loopState_.LoopsRemaining;
            spareHeader_->WrapFlag = loopState_.WrapFlag;
        }
        TMMDSPComponent::BufferLoad(spare, more);
        SleepOneMs();
        std::uint32_t lastFlags = more ? 0 : SlotEndOfData;
        {
            std::lock_guard guard(lock_);
            if (spare->dwBytesRecorded < 1)
            {
                slots_.MarkLastWritten(SlotEndOfData);
                break;
            }
            loopState_ = {spareHeader_->LoopFlag, spareHeader_->LoopCount,
                          spareHeader_->LoopsRemaining, spareHeader_->WrapFlag};
            if (loopState_.WrapFlag != 0)
                lastFlags |= SlotLoopWrap;
            loopState_.WrapFlag = 0;
        }
        WriteData(spare->lpData, static_cast<std::int32_t>(spare->dwBytesRecorded), lastFlags);
        if (!more || abort_.load())
            break;
        SleepOneMs();
    }
    FillQueueEnd();
}

void TMMRingBuffer::WriteOnPass()
{
    TPassEnd passEnd([this] { FinishPass(); });
    if (!QueueOpen() || BytesInQueue() <= 0)
        return;
    FlushQueue();
    TWaveHdr* spare = &spareHeader_->wh;
    while (BytesInQueue() > 0)
    {
        const std::int32_t n = ReadData(spare->lpData, IntMin(BytesInQueue(), writeChunk_));
        if (n <= 0)
            break;
        spare->dwBytesRecorded = static_cast<std::uint32_t>(n);
        spare->dwBufferLength = static_cast<std::uint32_t>(writeChunk_);
        TMMDSPComponent::BufferReady(spare);
        SleepOneMs();
    }
    FlushQueueEnd();
}

void TMMRingBuffer::WaitWhileFull()
{
    while (IsFull() && QueueOpen() && !abort_.load())
    {
        RequestPass();
        SleepOneMs();
    }
}

} // namespace keb
