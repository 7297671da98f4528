#include "devices/MMWavOut.h"

#include "devices/MMWaveDeviceHooks.h"
#include "stream/MMTime.h"

#include <optional>

namespace keb
{
namespace
{
// Platform message number of the playback "done" notification.
constexpr std::uint32_t PlaybackDataMessage = 957;
constexpr int PlaybackNotificationWaits = 500;
constexpr int QueueDrainWaits = 500;
constexpr int ResetWaits = 100;
constexpr std::int32_t WaitMs = 10;
constexpr std::int64_t BusyCursorBytes = 100000;
constexpr std::uint32_t LoopFlagOn = 0xFFFFFFFFu;

const TWaveDeviceTraits PlaybackTraits{
    "TMMWaveOut",
    "WaveOut",
    "No wave audio playing device found",
    "WaveOutOpen:\n\rInvalid wave format",
    "The actual device can''t play this format",
    "Write",
    PlaybackDataMessage,
    PlaybackNotificationWaits,
    WaveOutGetNumDevs,
    WaveOutGetDevCaps,
    WaveOutQueryFormat,
    WaveOutGetErrorText,
    DeviceCall<HWaveOut, WaveOutClose>,
    HeaderCall<HWaveOut, WaveOutPrepareHeader>,
    HeaderCall<HWaveOut, WaveOutUnprepareHeader>,
    HeaderCall<HWaveOut, WaveOutWrite>,
    MakeError<EMMWaveOutError>,
};
} // namespace

TMMWaveOut::TMMWaveOut(TComponent* owner) : TMMWaveDevice(owner, PlaybackTraits) {}

TMMWaveOut::~TMMWaveOut()
{
    CloseForDestruction();
}

// The driver's context: count, store state or post, nothing else. A buffer
// returned by a reset only clears Resetting when it is the last one. A
// finished buffer counts as on its way before it leaves the queued count, so
// that the handler before it never takes the queue for empty and ends
// playback while this one still waits to be pushed on.
void TMMWaveOut::Notify(HWaveOut, TWaveMessage message, void* user, TWaveHdr* header, TWaveResult)
{
    // After wmFailed the buffers come back; writing them again reports it.
    auto* self = static_cast<TMMWaveOut*>(user);
    if (self->StoreStateNotification(message) || message != wmDone)
        return;
    ++self->finishedOnTheWay_;
    const int queuedBefore = self->queuedCount_--;
    if (self->resetting_.load())
    {
        if (queuedBefore == 1)
            self->resetting_ = false;
    }
    else if (!self->stopping_.load())
    {
        self->DeliverDone(header);
        return;
    }
    --self->finishedOnTheWay_;
}

TWaveResult TMMWaveOut::PlatformOpen()
{
    return OpenDevice(WaveOutOpen, &Notify);
}

void TMMWaveOut::DeviceOpened()
{
    Fire(OnOpen);
}

void TMMWaveOut::SetWaveFormat(const TWaveFormatEx* format)
{
    Close();
    TMMWaveDevice::SetWaveFormat(format);
}

void TMMWaveOut::SetLooping(bool value)
{
    looping_ = value;
    loopsLeft_ = loopCount_.load();
}

void TMMWaveOut::SetLoopCount(std::uint16_t value)
{
    loopCount_ = value;
    loopsLeft_ = value;
}

void TMMWaveOut::BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers)
{
    TMMWaveHdr* header = MMWaveHdr(lpWaveHdr);
    const bool looping = looping_.load();
    lpWaveHdr->dwBufferLength = static_cast<std::uint32_t>(GetBufferSize());
    lpWaveHdr->dwBytesRecorded = 0;
    header->LoopFlag = looping ? LoopFlagOn : 0;
    if (looping)
    {
        header->LoopCount = loopCount_.load();
        header->LoopsRemaining = static_cast<std::uint32_t>(loopsLeft_.load());
        header->WrapFlag = 0;
    }
    TMMWaveDevice::BufferLoad(lpWaveHdr, moreBuffers);
    lpWaveHdr->dwBufferLength = lpWaveHdr->dwBytesRecorded;
    if (looping)
        loopsLeft_ = static_cast<std::int32_t>(header->LoopsRemaining);
}

std::int32_t TMMWaveOut::Load(TWaveHdr* header)
{
    bool more = false;
    if (header)
        BufferLoad(header, more);
    const auto bytes = header ? static_cast<std::int32_t>(header->dwBytesRecorded) : 0;
    moreBuffers_ = more && bytes > 0;
    return bytes;
}

void TMMWaveOut::Write(TWaveHdr* header)
{
    if (OnBufferFilled)
        OnBufferFilled(this, header);
    QueueBuffer(header);
}

int TMMWaveOut::FillBuffers()
{
    moreBuffers_ = true;
    int written = 0;
    for (int i = 0; i < NumBuffers() && moreBuffers_.load(); ++i)
    {
        if (!Header(i))
        {
            AllocateHeaders(i + 1);
            PrepareHeader(i);
        }
        if (Load(&Header(i)->wh) < 1)
            break;
        Write(&Header(i)->wh);
        ++written;
    }
    return written;
}

void TMMWaveOut::Start()
{
    Guarded(TFailure::StartingFailed,
            [this]
            {
                if (!HasState(wsOpened))
                    Open();
                if (!HasState(wsOpened) || HasState(wsStarted))
                    return;
                loopsLeft_ = loopCount_.load();
                inHandler_ = 0;
                stopDeferred_ = false;
                resetting_ = false;
                stopping_ = false;
                bufferIndex_ = 0;
                queuedCount_ = 0;
                finishedOnTheWay_ = 0;
                {
                    std::optional<TBusyCursor> busy;
                    if (std::int64_t{GetBufferSize()} * NumBuffers() > BusyCursorBytes)
                        busy.emplace();
                    // Paused while the buffers are queued, so that all of them are in
                    // place when playing begins.
                    Check(WaveOutPause(Device()), "Pause");
                    TMMWaveDevice::ChainStarted();
                    bufferCount_ = FillBuffers();
                    AddState(wsStarted);
                }
                if (bufferCount_.load() == 0)
                {
                    TMMWaveDevice::ChainStopped();
                    DeviceError(DeviceMessage("WaveOutStart:", "Unable to start device"));
                }
                if (!HasState(wsPaused))
                    Check(WaveOutRestart(Device()), "Restart");
                Fire(OnStart);
            });
}

void TMMWaveOut::HandleBufferDone(TWaveHdr*)
{
    --finishedOnTheWay_;
    if (!EnterHandler(/*CountReturn=*/false))
        return;
    try
    {
        // The buffer due in ring order, whichever header the driver named.
        TMMWaveHdr* played = Header(bufferIndex_.load());
        const int next = (bufferIndex_.load() + 1) % bufferCount_.load();
        bufferIndex_ = next;
        played->CompanionHdr = &Header(next)->wh;
        TMMWaveDevice::BufferReady(&played->wh);
        if (moreBuffers_.load() && !stopDeferred_.load())
        {
            if (looping_.load() && played->WrapFlag != 0)
            {
                {
                    std::lock_guard guard(lock_);
                    played->WrapFlag = 0;
                }
                Fire(OnLooping);
            }
            if (Load(&played->wh) <= 0 && !stopDeferred_.load())
                DeviceError("Error filling wave buffer");
            if (!stopDeferred_.load())
                Write(&played->wh);
        }
    }
    catch (...)
    {
        Fire(OnError);
        EndHandler();
        throw;
    }
    EndHandler();
}

// Playback ends when the source has no more data and nothing is left at the
// driver; while the source still delivers, an empty driver queue only means
// that the done messages of the other buffers are still on their way.
void TMMWaveOut::EndHandler()
{
    if (!LeaveHandler(/*QueueEmptyEnds=*/!moreBuffers_.load()))
        return;
    Check(WaveOutPause(Device()), "Pause");
    PostStopRequest();
}

void TMMWaveOut::Stop()
{
    if (!IsStartedOrPaused())
        return;
    Guarded(TFailure::CloseOnly,
            [this]
            {
                {
                    std::lock_guard guard(lock_);
                    stopping_ = true;
                    resetting_ = true;
                    Check(WaveOutReset(Device()), "Reset");
                }
                CompleteStop();
            });
}

void TMMWaveOut::CompleteStop()
{
    if (!IsStartedOrPaused() || DeferStopBehindHandler())
        return;
    RemoveState(wsStarted | wsPaused);
    for (int wait = 0; wait < QueueDrainWaits && queuedCount_.load() != 0; ++wait)
        Delay(WaitMs, false);
    UnprepareHeaders(NumBuffers());
    FreeHeaders();
    bufferCount_ = 0;
    queuedCount_ = 0;
    finishedOnTheWay_ = 0;
    bufferIndex_ = 0;
    stopDeferred_ = false;
    TMMWaveDevice::ChainStopped();
    if (!IsDestroying())
        Fire(OnStop);
    if (closeDeferred_.load())
        Close();
}

void TMMWaveOut::Pause()
{
    Guarded(TFailure::CloseOnly,
            [this]
            {
                if (!HasState(wsOpened))
                    Open();
                if (!HasState(wsOpened) || HasState(wsPaused))
                    return;
                if (HasState(wsStarted))
                {
                    // Driven from upstream: every buffer is given back, so that
                    // nothing stale plays when the chain goes on.
                    const bool driven = HasUpstreamDevice();
                    if (driven)
                        FenceOffHandlers();
                    std::lock_guard guard(lock_);
                    Check(WaveOutPause(Device()), "Pause");
                    AddState(wsPaused);
                    if (driven)
                    {
                        resetting_ = true;
                        Check(WaveOutReset(Device()), "Reset");
                        bufferIndex_ = 0;
                        queuedCount_ = 0;
                        finishedOnTheWay_ = 0;
                    }
                }
                AddState(wsPaused);
                TMMWaveDevice::ChainPaused();
                Fire(OnPause);
            });
}

// A handler already running would refill and queue its buffer after the
// driver has given every buffer back, and the restart would queue that one
// again: new handlers are kept out, the running one is let finish, and the
// finished buffers not yet handled are dropped.
void TMMWaveOut::FenceOffHandlers()
{
    {
        std::lock_guard guard(lock_);
        resetting_ = true;
    }
    WaitForWorkerHandlers();
    DiscardPendingDone();
}

void TMMWaveOut::Restart()
{
    if (!HasState(wsStarted) || !HasState(wsPaused))
        return;
    Guarded(TFailure::CloseOnly,
            [this]
            {
                resetting_ = false;
                if (queuedCount_.load() == 0)
                {
                    bufferCount_ = FillBuffers();
                    if (bufferCount_.load() == 0)
                    {
                        Stop();
                        return;
                    }
                }
                Check(WaveOutRestart(Device()), "Restart");
                RemoveState(wsPaused);
                TMMWaveDevice::ChainRestarted();
                Fire(OnRestart);
            });
}

void TMMWaveOut::Reset()
{
    if (!IsStartedOrPaused() || resetting_.load())
        return;
    Guarded(TFailure::CloseOnly,
            [this]
            {
                FenceOffHandlers();
                Check(WaveOutPause(Device()), "Pause");
                Check(WaveOutReset(Device()), "Reset");
                for (int wait = 0;
                     wait < ResetWaits && resetting_.load() && queuedCount_.load() > 0; ++wait)
                    Delay(WaitMs, false);
                // Cleared here too: with nothing queued no buffer comes back to do it.
                resetting_ = false;
                Check(WaveOutRestart(Device()), "Restart");
                Check(WaveOutPause(Device()), "Pause");
                bufferIndex_ = 0;
                queuedCount_ = 0;
                finishedOnTheWay_ = 0;
                ChainReset();
                bufferCount_ = FillBuffers();
                if (!HasState(wsPaused))
                    Check(WaveOutRestart(Device()), "Restart");
                if (bufferCount_.load() == 0)
                    Stop();
            });
}

} // namespace keb
