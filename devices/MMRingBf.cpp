// Part of TMMRingBuffer (MMRingBf.h): properties, the chain notifications and
// the queue itself.
#include "devices/MMRingBf.h"

#include "devices/MMRingBfThread.h"
#include "stream/MMUtils.h"

#include <mutex>

namespace keb
{

TMMRingBuffer::TMMRingBuffer(TComponent* owner) : TMMDSPComponent(owner) {}

TMMRingBuffer::~TMMRingBuffer()
{
    CloseQueue();
}

void TMMRingBuffer::RefuseWhileOpen() const
{
    if (QueueOpen())
        throw EMMBufferError("Change to property while device was open");
}

void TMMRingBuffer::SetBufferSize(std::int32_t value)
{
    value = IntMax(value, RingMinBufferBytes);
    if (value == bufferSize_.load())
        return;
    RefuseWhileOpen();
    TMMDSPComponent::SetBufferSize(value);
}

void TMMRingBuffer::SetNumBuffers(std::int32_t value)
{
    if (value < 2 || value == numBuffers_)
        return;
    RefuseWhileOpen();
    numBuffers_ = value;
}

void TMMRingBuffer::SetQueueMode(TMMQueueMode value)
{
    if (value == queueMode_)
        return;
    RefuseWhileOpen();
    queueMode_ = value;
}

bool TMMRingBuffer::IsEmpty() const
{
    std::lock_guard guard(lock_);
    return slots_.FilledCount() == 0;
}

bool TMMRingBuffer::IsFull() const
{
    std::lock_guard guard(lock_);
    return slots_.Allocated() && slots_.FilledCount() == slots_.Capacity();
}

std::int32_t TMMRingBuffer::FilledCount() const
{
    std::lock_guard guard(lock_);
    return slots_.FilledCount();
}

std::int32_t TMMRingBuffer::BytesInQueue() const
{
    std::lock_guard guard(lock_);
    return slots_.QueuedBytes();
}

std::int32_t TMMRingBuffer::BytesFree() const
{
    std::lock_guard guard(lock_);
    return GetBufferSize() * (numBuffers_ - slots_.FilledCount());
}

void TMMRingBuffer::Overflow()
{
    if (OnOverlow)
        OnOverlow(this);
}

void TMMRingBuffer::Empty()
{
    if (OnEmpty)
        OnEmpty(this);
}

void TMMRingBuffer::FillQueue()
{
    if (OnFillQueue)
        OnFillQueue(this);
}

void TMMRingBuffer::FillQueueEnd()
{
    if (OnFillQueueEnd)
        OnFillQueueEnd(this);
}

void TMMRingBuffer::FlushQueue()
{
    if (OnFlushQueue)
        OnFlushQueue(this);
}

void TMMRingBuffer::FlushQueueEnd()
{
    if (OnFlushQueueEnd)
        OnFlushQueueEnd(this);
}

void TMMRingBuffer::ChainOpened()
{
    TMMDSPComponent::ChainOpened();
    OpenQueue();
}

void TMMRingBuffer::ChainClosed()
{
    CloseQueue();
    TMMDSPComponent::ChainClosed();
}

void TMMRingBuffer::ChainStarted()
{
    abort_.store(false);
    TMMDSPComponent::ChainStarted();
}

void TMMRingBuffer::ChainStopped()
{
    HaltQueue();
    TMMDSPComponent::ChainStopped();
}

void TMMRingBuffer::ChainReset()
{
    HaltQueue();
    EmptyQueue();
    abort_.store(false);
    TMMDSPComponent::ChainReset();
}

// Ends a running pass (and in qmWrite writes on what is queued), forgets the
// loop and empties the queue, so the next start begins as after opening.
void TMMRingBuffer::HaltQueue()
{
    abort_.store(true);
    {
        std::lock_guard guard(lock_);
        ready_ = false;
        loopState_.LoopFlag = 0;
    }
    StopQueue();
}

void TMMRingBuffer::OpenQueue()
{
    if (QueueOpen())
        return;
    const std::int32_t slotSize = GetBufferSize();
    const std::int32_t chunk = IntMax((RingMaxChunk / slotSize) * slotSize, slotSize);
    readChunk_ = chunk;
    writeChunk_ = chunk;
    {
        std::lock_guard guard(lock_);
        slots_.Allocate(numBuffers_, slotSize);
    }
    try
    {
        if (Threaded())
        {
            spareHeader_ = AllocWaveHdr(static_cast<std::uint32_t>(IntMax(RingMaxChunk, slotSize)));
            StartWorker();
        }
    }
    catch (...)
    {
        FreeAndClear(spareHeader_);
        std::lock_guard guard(lock_);
        slots_.Free();
        throw;
    }
    std::lock_guard guard(lock_);
    slots_.Clear();
    ready_ = false;
    loopState_.LoopFlag = 0;
    queueOpen_.store(true);
    abort_.store(false);
}

void TMMRingBuffer::CloseQueue()
{
    if (!QueueOpen())
        return;
    abort_.store(true);
    StopQueue();
    {
        std::lock_guard guard(lock_);
        queueOpen_.store(false);
    }
    if (Threaded())
        EndWorker();
    FreeAndClear(spareHeader_);
    std::lock_guard guard(lock_);
    slots_.Free();
}

// In qmWrite whatever is still queued is written on by the caller, after the
// worker's own pass has ended, so that a stop loses nothing.
void TMMRingBuffer::StopQueue()
{
    if (QueueOpen() && Threaded())
    {
        WaitForPass(-1);
        if (queueMode_ == qmWrite && ClaimPass())
            WriteOnPass();
    }
    EmptyQueue();
}

void TMMRingBuffer::EmptyQueue()
{
    std::lock_guard guard(lock_);
    slots_.Clear();
    ready_ = false;
}

void TMMRingBuffer::BufferReady(PWaveHdr lpWaveHdr)
{
    if (queueMode_ == qmWrite || queueMode_ == qmDuplex)
        PutData(lpWaveHdr->lpData, static_cast<std::int32_t>(lpWaveHdr->dwBytesRecorded), 0,
                lpWaveHdr->dwUser);
    else
        TMMDSPComponent::BufferReady(lpWaveHdr);
}

void TMMRingBuffer::BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers)
{
    const bool fromQueue =
        queueMode_ == qmDuplex || (queueMode_ == qmRead && (GetEnabled() || !IsEmpty()));
    if (fromQueue)
        LoadFromQueue(lpWaveHdr, moreBuffers);
    else
        TMMDSPComponent::BufferLoad(lpWaveHdr, moreBuffers);
}

void TMMRingBuffer::LoadFromQueue(PWaveHdr lpWaveHdr, bool& moreBuffers)
{
    if (!QueueOpen())
        return;
    TMMWaveHdr* header = MMWaveHdr(lpWaveHdr);
    {
        std::lock_guard guard(lock_);
        if ((header->LoopFlag != 0) != (loopState_.LoopFlag != 0))
        {
            loopState_.LoopFlag = header->LoopFlag;
            if (header->LoopFlag != 0)
            {
                loopState_.LoopCount = header->LoopCount;
                loopState_.LoopsRemaining = header->LoopsRemaining;
                loopState_.WrapFlag = 0;
            }
        }
    }
    std::int32_t bytes = static_cast<std::int32_t>(lpWaveHdr->dwBufferLength);
    std::uint32_t flags = 0;
    GetData(lpWaveHdr->lpData, bytes, flags, lpWaveHdr->dwUser);
    lpWaveHdr->dwBytesRecorded = static_cast<std::uint32_t>(bytes);
    header->WrapFlag = (flags & SlotLoopWrap) ? 0xFFFFFFFFu : 0;
    moreBuffers = queueMode_ == qmDuplex || (flags & SlotEndOfData) == 0;
}

void TMMRingBuffer::PutData(const void* data, std::int32_t size, std::uint32_t flags,
                            std::uint32_t user)
{
    if (!QueueOpen() || !GetEnabled())
        return;
    const bool waitIfFull = GetWaitIfFull();
    if (!waitIfFull && IsFull())
    {
        Overflow();
        return;
    }
    if (!data || size <= 0)
        return;
    if (queueMode_ == qmWrite)
    {
        if (FilledCount() + 1 >= numBuffers_ / 2)
            RequestPass();
        if (waitIfFull)
            WaitWhileFull();
    }
    bool overflow = false;
    {
        std::lock_guard guard(lock_);
        overflow = QueueOpen() && !slots_.Store(data, size, flags, user, waitIfFull);
    }
    if (overflow)
        Overflow();
}

void TMMRingBuffer::GetData(void* data, std::int32_t& size, std::uint32_t& flags,
                            std::uint32_t& user)
{
    if (!QueueOpen() || !data || size <= 0)
    {
        size = 0;
        return;
    }
    if (queueMode_ == qmRead && !AwaitFirstReadAhead())
    {
        size = 0;
        return;
    }
    bool empty = false;
    TMMSlotRead read;
    {
        std::lock_guard guard(lock_);
        if (queueMode_ == qmDuplex && !ready_)
        {
            ready_ = slots_.FilledCount() > slots_.Capacity() / 2;
            DeliverSilence(data, size, flags, user);
            return;
        }
        empty = slots_.FilledCount() == 0;
        read = empty ? slots_.RepeatLast(data, size) : slots_.Take(data, size);
    }
    size = read.Bytes;
    flags = read.Flags;
    user = read.User;
    if (empty)
        Empty();
}

// The start of a duplex stream: the consumer's whole request becomes silence,
// however large it is, and the queue is not touched.
void TMMRingBuffer::DeliverSilence(void* data, std::int32_t size, std::uint32_t& flags,
                                   std::uint32_t& user)
{
    FillBytes(data, size, 0);
    flags = 0;
    user = 0;
}

// qmRead: asks for a read-ahead pass when the queue is less than half full;
// the first read after the queue was emptied waits up to TimeOut ms for that
// pass and fails when it brought nothing.
bool TMMRingBuffer::AwaitFirstReadAhead()
{
    bool wantPass = false;
    bool ready = false;
    {
        std::lock_guard guard(lock_);
        wantPass = GetEnabled() && slots_.FilledCount() < slots_.Capacity() / 2;
        ready = ready_;
    }
    const bool requested = wantPass && RequestPass();
    if (ready || !(requested || PassPending()))
        return true;
    if (!WaitForPass(GetTimeOut()) || IsEmpty())
        return false;
    std::lock_guard guard(lock_);
    ready_ = true;
    return true;
}

std::int32_t TMMRingBuffer::WriteData(const void* data, std::int32_t size, std::uint32_t lastFlags)
{
    const auto* bytes = static_cast<const char*>(data);
    const std::int32_t slotSize = GetBufferSize();
    std::int32_t stored = 0;
    while (stored < size && !IsFull())
    {
        const std::int32_t block = IntMin(size - stored, slotSize);
        const bool last = stored + block >= size;
        PutData(bytes + stored, block, last ? lastFlags : 0, 0);
        stored += block;
    }
    return stored;
}

std::int32_t TMMRingBuffer::ReadData(void* data, std::int32_t size)
{
    auto* bytes = static_cast<char*>(data);
    std::int32_t read = 0;
    while (read < size && !IsEmpty())
    {
        std::int32_t got = size - read;
        std::uint32_t flags = 0;
        std::uint32_t user = 0;
        GetData(bytes + read, got, flags, user);
        if (got <= 0)
            break;
        read += got;
    }
    return read;
}

} // namespace keb
