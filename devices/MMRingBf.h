// TMMRingBuffer: a queue of equal slots between a producer and a consumer
// that run on different clocks or threads.
//
// Modes (QueueMode, fixed while the queue is open):
//   qmNone    buffers pass through the chain untouched; the queue is there
//             only for direct PutData / GetData.
//   qmRead    a worker reads ahead from Input into the queue; pulls from
//             Output are served from the queue. The first pull after the queue
//             was emptied waits up to TimeOut ms for the first read-ahead pass.
//   qmWrite   pushes from Input go into the queue; a worker writes them on to
//             Output. With WaitIfFull a producer waits (1 ms steps) while the
//             queue is full.
//   qmDuplex  pushes go into the queue and pulls are served from it directly;
//             no worker. Pulls get silence until a pull finds more than half
//             of the slots filled, then the oldest unread block, and the last
//             block again (OnEmpty) when the queue has run dry. With
//             WaitIfFull a push into a full queue overwrites the oldest unread
//             block, so the producer never blocks and the newest block wins.
//             Without it the block is dropped and OnOverlow fires (also for
//             an empty block: the full queue is reported first).
// The queue opens with ChainOpened (slots of GetBufferSize bytes are allocated
// then, never per block) and closes with ChainClosed or destruction.
//
// Threads. Properties, the chain notifications, construction and destruction
// belong to the main thread. PutData, GetData, WriteData, ReadData, the
// queries, BufferReady and BufferLoad may run on any thread, typically the
// capture worker (push) and the playback worker (pull) at once. One lock
// guards the slots, indices and counts; it is held only for the copy and the
// index arithmetic and never while calling a neighbour or an event handler.
// Events fire in the thread that causes them: OnOverlow in the writer's,
// OnEmpty in the reader's, the fill and flush events in the worker's (or the
// main thread's, for the last write-on pass of a stop). Handlers must not
// open or close the queue. Waits of the main thread for the worker keep
// serving synchronise requests, so a worker may use SyncToMainThread.
//
// Property rules: BufferSize is at least 32 (smaller values become 32);
// NumBuffers below 2 is ignored; BufferSize, NumBuffers and QueueMode raise
// EMMBufferError "Change to property while device was open" when changed
// while the queue is open (setting the current value is no change).
// Opening in qmRead/qmWrite raises EMMBufferError "RingBuffer:" LF CR "Could
// not create thread" when the worker does not report running within 5 s;
// running out of memory raises EOutOfMemory. Nothing else raises.
//
// Implemented in: MMRingBf.cpp (properties, the chain notifications and the
// queue itself), MMRingBfWorker.cpp (the worker and its read-ahead and
// write-on passes).
#pragma once

#include "devices/MMRingBfSlots.h"
#include "platform/core/Event.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Lock.h"
#include "stream/MMDSPObj.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMBufferError, Exception);

enum TMMQueueMode
{
    qmNone,
    qmRead,
    qmWrite,
    qmDuplex
};

inline constexpr std::int32_t RingDefaultNumBuffers = 20;
inline constexpr std::int32_t RingMinBufferBytes = 32;
inline constexpr std::int32_t RingDefaultTimeOutMs = 10000;
// The largest transfer of one worker step, rounded down to whole slots.
inline constexpr std::int32_t RingMaxChunk = 65536;

// The loop block of the buffer header as the queue saw it last.
struct TMMLoopState
{
    std::uint32_t LoopFlag = 0;
    std::uint32_t LoopCount = 0;
    std::uint32_t LoopsRemaining = 0;
    std::uint32_t WrapFlag = 0;
};

class TMMQueueThread;

class TMMRingBuffer : public TMMDSPComponent
{
  public:
    explicit TMMRingBuffer(TComponent* owner);
    ~TMMRingBuffer() override;

    std::int32_t GetNumBuffers() const { return numBuffers_; }
    void SetNumBuffers(std::int32_t value);
    void SetBufferSize(std::int32_t value) override; // bytes
    TMMQueueMode GetQueueMode() const { return queueMode_; }
    void SetQueueMode(TMMQueueMode value);
    bool GetEnabled() const { return enabled_.load(); }
    void SetEnabled(bool value) { enabled_.store(value); }
    bool GetWaitIfFull() const { return waitIfFull_.load(); }
    void SetWaitIfFull(bool value) { waitIfFull_.store(value); }
    std::int32_t GetTimeOut() const { return timeOut_.load(); }    // ms
    void SetTimeOut(std::int32_t value) { timeOut_.store(value); } // ms

    bool QueueOpen() const { return queueOpen_.load(); }

    // Stores one block of at most GetBufferSize bytes (the rest is not
    // stored). Dropped silently while the queue is closed or not Enabled.
    void PutData(const void* data, std::int32_t size, std::uint32_t flags,
                 std::uint32_t user); // Size: bytes
    // Delivers up to Size bytes; Size returns the bytes delivered.
    void GetData(void* data, std::int32_t& size, std::uint32_t& flags,
                 std::uint32_t& user); // Size: bytes
    // Cuts Data into slot-sized blocks (the last with LastFlags, all with User
    // 0) and stores them until the queue is full; returns the bytes stored.
    std::int32_t WriteData(const void* data, std::int32_t size,
                           std::uint32_t lastFlags); // Size: bytes
    // Reads until Size bytes arrived, the queue is empty or a read brings
    // nothing; returns the bytes read.
    std::int32_t ReadData(void* data, std::int32_t size); // Size: bytes

    bool IsEmpty() const;
    // Every slot holds an unread block.
    bool IsFull() const;
    std::int32_t FilledCount() const;
    std::int32_t BytesInQueue() const; // bytes
    // Room left in bytes: the slot size times the slots without an unread
    // block (all of them while the queue is closed).
    std::int32_t BytesFree() const;

    void ChainOpened() override;
    void ChainClosed() override;
    void ChainStarted() override;
    void ChainStopped() override;
    void ChainReset() override;
    void BufferReady(PWaveHdr lpWaveHdr) override;
    void BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers) override;

    TMMNotifyEvent OnOverlow;
    TMMNotifyEvent OnEmpty;
    TMMNotifyEvent OnFillQueue;
    TMMNotifyEvent OnFillQueueEnd;
    TMMNotifyEvent OnFlushQueue;
    TMMNotifyEvent OnFlushQueueEnd;

  protected:
    virtual void Overflow();
    virtual void Empty();
    virtual void FillQueue();
    virtual void FillQueueEnd();
    virtual void FlushQueue();
    virtual void FlushQueueEnd();

  private:
    friend class TMMQueueThread;

    bool Threaded() const { return queueMode_ == qmRead || queueMode_ == qmWrite; }
    void RefuseWhileOpen() const;
    void OpenQueue();
    void CloseQueue();
    void HaltQueue();
    void StopQueue();
    void EmptyQueue();
    void LoadFromQueue(PWaveHdr lpWaveHdr, bool& moreBuffers);
    void DeliverSilence(void* data, std::int32_t size, std::uint32_t& flags,
                        std::uint32_t& user); // Size: bytes
    bool AwaitFirstReadAhead();

    // The worker and its passes (MMRingBfWorker.cpp).
    void StartWorker();
    void EndWorker();
    bool RequestPass();
    bool ClaimPass();
    void FinishPass();
    bool PassPending() const;
    bool WaitForPass(std::int32_t timeOutMs);
    void RunPass();
    void ReadAheadPass();
    void WriteOnPass();
    void WaitWhileFull();

    TMMRingSlots slots_;
    TMMWaveHdr* spareHeader_ = nullptr;
    std::int32_t numBuffers_ = RingDefaultNumBuffers;
    bool ready_ = false;
    std::atomic<bool> queueOpen_{false};
    std::atomic<bool> abort_{false};
    TMMQueueMode queueMode_ = qmNone;
    TMMLoopState loopState_;
    std::int32_t readChunk_ = 0;  // bytes
    std::int32_t writeChunk_ = 0; // bytes
    std::atomic<bool> enabled_{true};
    std::atomic<bool> waitIfFull_{false};
    std::atomic<std::int32_t> timeOut_{RingDefaultTimeOutMs}; // ms
    bool threadError_ = false;
    std::unique_ptr<TMMQueueThread> thread_;
    mutable TCriticalSection lock_;
    // Guarded by lock_: a pass has been asked for or is running; mirrors
    // workEvent_, which the worker waits on.
    bool passPending_ = false;
    TEvent threadStartEvent_{false, false};
    TEvent workEvent_{true, false};
    TEvent workDoneEvent_{false, false};
    TEvent threadCloseEvent_{false, false};
};

} // namespace keb
