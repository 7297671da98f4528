#include "devices/MMWavIn.h"

#include "stream/MMUtils.h"

namespace keb
{
namespace
{
// Platform message numbers of the capture notifications.
constexpr std::uint32_t CaptureDataMessage = 960;
constexpr int CaptureNotificationWaits = 100;
constexpr std::int32_t MinSampleRate = 8000;
constexpr std::int32_t MaxSampleRate = 100000;

const TWaveDeviceTraits CaptureTraits{
    "TMMWaveIn",
    "WaveIn",
    "No wave audio recording device found",
    "Invalid wave format",
    "The actual device can''t record this format",
    "AddBuffer",
    CaptureDataMessage,
    CaptureNotificationWaits,
    WaveInGetNumDevs,
    WaveInGetDevCaps,
    WaveInQueryFormat,
    WaveInGetErrorText,
    DeviceCall<HWaveIn, WaveInClose>,
    HeaderCall<HWaveIn, WaveInPrepareHeader>,
    HeaderCall<HWaveIn, WaveInUnprepareHeader>,
    HeaderCall<HWaveIn, WaveInAddBuffer>,
    MakeError<EMMWaveInError>,
};
} // namespace

TMMWaveIn::TMMWaveIn(TComponent* owner) : TMMWaveDevice(owner, CaptureTraits)
{
    ApplyOwnFormat();
}

TMMWaveIn::~TMMWaveIn()
{
    CloseForDestruction();
}

// The driver's context: store state or post, nothing else.
void TMMWaveIn::Notify(HWaveIn, TWaveMessage message, void* user, TWaveHdr* header, TWaveResult)
{
    // After wmFailed the buffers come back; re-queueing them reports it.
    auto* self = static_cast<TMMWaveIn*>(user);
    if (!self->StoreStateNotification(message) && message == wmDone && !self->stopping_.load())
        self->DeliverDone(header);
}

TWaveResult TMMWaveIn::PlatformOpen()
{
    return OpenDevice(WaveInOpen, &Notify);
}

void TMMWaveIn::DeviceOpened()
{
    AllocateHeaders(NumBuffers());
    PrepareHeaders(NumBuffers());
    ChainOpened();
}

void TMMWaveIn::ChainOpened()
{
    Fire(OnOpen);
}

void TMMWaveIn::Start()
{
    Guarded(TFailure::StartingFailed,
            [this]
            {
                if (!HasState(wsOpened))
                    Open();
                if (!HasState(wsOpened) || HasState(wsStarted))
                    return;
                bytesRecorded_ = 0;
                bufferIndex_ = 0;
                inHandler_ = 0;
                queuedCount_ = 0;
                stopDeferred_ = false;
                stopping_ = false;
                resetting_ = false;
                for (int i = 0; i < NumBuffers(); ++i)
                    QueueBuffer(&Header(i)->wh);
                ChainStarted();
            });
}

void TMMWaveIn::Pause()
{
    Guarded(TFailure::CloseOnly,
            [this]
            {
                if (!HasState(wsOpened))
                    Open();
                if (!HasState(wsOpened) || HasState(wsPaused))
                    return;
                if (HasState(wsStarted))
                    Check(WaveInStop(Device()), "Pause");
                ChainPaused();
            });
}

void TMMWaveIn::Restart()
{
    if (!HasState(wsStarted) || !HasState(wsPaused))
        return;
    Guarded(TFailure::CloseOnly,
            [this]
            {
                Check(WaveInStart(Device()), "Restart");
                ChainRestarted();
            });
}

void TMMWaveIn::Stop()
{
    if (!IsStartedOrPaused())
        return;
    Guarded(TFailure::CloseOnly,
            [this]
            {
                {
                    std::lock_guard guard(lock_);
                    stopping_ = true;
                    Check(WaveInStop(Device()), "Stop");
                    resetting_ = true;
                    Check(WaveInReset(Device()), "Reset");
                }
                ChainStopped();
            });
}

void TMMWaveIn::ChainStarted()
{
    AddState(wsStarted);
    if (!HasState(wsPaused))
        Check(WaveInStart(Device()), "Start");
    TMMWaveDevice::ChainStarted();
    Fire(OnStart);
}

void TMMWaveIn::ChainPaused()
{
    AddState(wsPaused);
    TMMWaveDevice::ChainPaused();
    Fire(OnPause);
}

void TMMWaveIn::ChainRestarted()
{
    RemoveState(wsPaused);
    TMMWaveDevice::ChainRestarted();
    Fire(OnRestart);
}

// Reached through Stop, or directly when a link changes under a running
// device; the latter halts the driver first so that no buffer stays queued.
void TMMWaveIn::ChainStopped()
{
    if (!IsStartedOrPaused())
        return;
    if (!stopping_.load())
    {
        Stop();
        return;
    }
    if (DeferStopBehindHandler())
        return;
    RemoveState(wsStarted | wsPaused);
    bufferIndex_ = 0;
    queuedCount_ = 0;
    stopDeferred_ = false;
    TMMWaveDevice::ChainStopped();
    if (!IsDestroying())
        Fire(OnStop);
    if (closeDeferred_.load())
        Close();
}

void TMMWaveIn::HandleBufferDone(TWaveHdr* header)
{
    if (!EnterHandler(/*CountReturn=*/true))
        return;
    try
    {
        BufferReady(header);
        if (!stopDeferred_.load())
            QueueBuffer(header);
    }
    catch (...)
    {
        Fire(OnError);
        if (LeaveHandler(false))
            PostStopRequest();
        throw;
    }
    if (LeaveHandler(false))
        PostStopRequest();
}

void TMMWaveIn::BufferReady(PWaveHdr lpWaveHdr)
{
    bool limitReached = false;
    if (maxRecordTime_.load() >= 0)
    {
        const std::int64_t left = std::int64_t{maxRecordBytes_.load()} - bytesRecorded_;
        if (lpWaveHdr->dwBytesRecorded >= left)
        {
            lpWaveHdr->dwBytesRecorded = static_cast<std::uint32_t>(left);
            bytesRecorded_ = maxRecordBytes_.load();
            limitReached = true;
        }
        else
        {
            bytesRecorded_ += lpWaveHdr->dwBytesRecorded;
        }
    }
    bufferIndex_ = (bufferIndex_.load() + 1) % NumBuffers();
    TMMWaveDevice::BufferReady(lpWaveHdr);
    if (limitReached)
        Stop();
}

void TMMWaveIn::SetWaveFormat(const TWaveFormatEx* format)
{
    Close();
    if (IsValidPCMFormat(format))
    {
        sampleRate_ = Clamp<std::int32_t>(static_cast<std::int32_t>(format->nSamplesPerSec),
                                          MinSampleRate, MaxSampleRate);
        bitLength_ = static_cast<TMMBits>(format->wBitsPerSample / 8 - 1);
        mode_ = static_cast<TMMMode>(format->nChannels - 1);
    }
    TMMWaveDevice::SetWaveFormat(format);
    UpdateMaxRecordBytes();
}

void TMMWaveIn::ApplyOwnFormat()
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, BitsPerSample(bitLength_), ChannelCount(mode_),
                   static_cast<std::uint32_t>(sampleRate_));
    SetWaveFormat(&format);
}

void TMMWaveIn::SetMode(TMMMode value)
{
    if (value != mMono && value != mStereo)
        return;
    RefuseWhileOpen();
    mode_ = value;
    ApplyOwnFormat();
}

void TMMWaveIn::SetBitLength(TMMBits value)
{
    RefuseWhileOpen();
    bitLength_ = value;
    ApplyOwnFormat();
}

void TMMWaveIn::SetSampleRate(std::int32_t value)
{
    RefuseWhileOpen();
    sampleRate_ = Clamp(value, MinSampleRate, MaxSampleRate);
    ApplyOwnFormat();
}

void TMMWaveIn::UpdateMaxRecordBytes()
{
    const TWaveFormatEx* format = GetWaveFormat();
    const std::int32_t time = maxRecordTime_.load();
    if (time < 0 || !format || format->nBlockAlign == 0)
    {
        maxRecordBytes_ = INT32_MAX;
        return;
    }
    std::int32_t bytes = time;
    if (timeFormat_ == tfMillisecond)
        bytes = MillisecondsToBytes(*format, time);
    else if (timeFormat_ == tfSample)
        bytes = SamplesToBytes(*format, time);
    maxRecordBytes_ = bytes - bytes % format->nBlockAlign;
}

void TMMWaveIn::SetMaxRecordTime(std::int32_t value)
{
    if (value == maxRecordTime_.load())
        return;
    maxRecordTime_ = value;
    UpdateMaxRecordBytes();
}

void TMMWaveIn::SetTimeFormat(TMMTimeFormats value)
{
    if (value == timeFormat_)
        return;
    const TWaveFormatEx* format = GetWaveFormat();
    if (maxRecordTime_.load() >= 0 && format)
    {
        const std::int32_t bytes = maxRecordBytes_.load();
        std::int32_t time = bytes;
        if (value == tfMillisecond)
            time = BytesToMilliseconds(*format, bytes);
        else if (value == tfSample)
            time = BytesToSamples(*format, bytes);
        maxRecordTime_ = time;
    }
    timeFormat_ = value;
}

} // namespace keb
