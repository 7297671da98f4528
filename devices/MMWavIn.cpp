#include "devices/MMWavIn.h"

#include "stream/MMUtils.h"

namespace keb
{
namespace
{
// Platform message numbers of the capture notifications.
constexpr std::uint32_t kCaptureDataMessage = 960;
constexpr int kCaptureNotificationWaits = 100;
constexpr std::int32_t kMinSampleRate = 8000;
constexpr std::int32_t kMaxSampleRate = 100000;

const TWaveDeviceTraits kCaptureTraits{
    "TMMWaveIn",
    "WaveIn",
    "No wave audio recording device found",
    "Invalid wave format",
    "The actual device can''t record this format",
    kCaptureDataMessage,
    kCaptureNotificationWaits,
    WaveInGetNumDevs,
    WaveInGetDevCaps,
    WaveInQueryFormat,
    WaveInGetErrorText,
};
} // namespace

TMMWaveIn::TMMWaveIn(TComponent* Owner) : TMMWaveDevice(Owner, kCaptureTraits)
{
    ApplyOwnFormat();
}

TMMWaveIn::~TMMWaveIn()
{
    CloseForDestruction();
}

std::exception_ptr TMMWaveIn::MakeDeviceError(const std::string& Message) const
{
    return std::make_exception_ptr(EMMWaveInError(Message));
}

// The driver's context: store state or post, nothing else.
void TMMWaveIn::Notify(HWaveIn Device, TWaveMessage Message, void* User, TWaveHdr* Header,
                       TWaveResult)
{
    auto* self = static_cast<TMMWaveIn*>(User);
    switch (Message)
    {
    case wmOpened:
        self->SetState(wsOpened);
        break;
    case wmClosed:
        self->SetState(wsClosed);
        break;
    case wmDone:
        if (!self->stopping_.load())
            self->DeliverDone(reinterpret_cast<std::uintptr_t>(Device), Header);
        break;
    case wmFailed:
        // The buffers come back next; re-queueing them reports the failure.
        break;
    }
}

TWaveResult TMMWaveIn::PlatformOpen()
{
    HWaveIn device = nullptr;
    const TWaveResult result = WaveInOpen(&device, DeviceID(), GetWaveFormat(), &Notify, this);
    SetHandle(device);
    return result;
}

TWaveResult TMMWaveIn::PlatformClose()
{
    return WaveInClose(Device());
}

TWaveResult TMMWaveIn::PlatformPrepare(TWaveHdr* Header)
{
    return WaveInPrepareHeader(Device(), Header);
}

TWaveResult TMMWaveIn::PlatformUnprepare(TWaveHdr* Header)
{
    return WaveInUnprepareHeader(Device(), Header);
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

// Counted before it is queued: the buffer may come back at once.
void TMMWaveIn::AddBuffer(TWaveHdr* Header)
{
    StoreWaveHdrFlags(*Header, WaveHdrPrepared);
    ++queuedCount_;
    const TWaveResult result = WaveInAddBuffer(Device(), Header);
    if (result != wrNoError)
        --queuedCount_;
    Check(result, "AddBuffer");
}

void TMMWaveIn::Start()
{
    try
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
            AddBuffer(&Header(i)->wh);
        ChainStarted();
    }
    catch (...)
    {
        Fire(OnError);
        AddState(wsStarted);
        Close();
        SetState(wsClosed);
        throw;
    }
}

void TMMWaveIn::Pause()
{
    try
    {
        if (!HasState(wsOpened))
            Open();
        if (!HasState(wsOpened) || HasState(wsPaused))
            return;
        if (HasState(wsStarted))
            Check(WaveInStop(Device()), "Pause");
        ChainPaused();
    }
    catch (...)
    {
        Fire(OnError);
        Close();
        throw;
    }
}

void TMMWaveIn::Restart()
{
    if (!HasState(wsStarted) || !HasState(wsPaused))
        return;
    try
    {
        Check(WaveInStart(Device()), "Restart");
        ChainRestarted();
    }
    catch (...)
    {
        Fire(OnError);
        Close();
        throw;
    }
}

void TMMWaveIn::Stop()
{
    if (!IsStartedOrPaused())
        return;
    try
    {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
            Check(WaveInStop(Device()), "Stop");
            resetting_ = true;
            Check(WaveInReset(Device()), "Reset");
        }
        ChainStopped();
    }
    catch (...)
    {
        Fire(OnError);
        Close();
        throw;
    }
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

void TMMWaveIn::HandleBufferDone(TWaveHdr* Header)
{
    if (!EnterHandler(/*CountReturn=*/true))
        return;
    try
    {
        BufferReady(Header);
        if (!stopDeferred_.load())
            AddBuffer(Header);
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

void TMMWaveIn::SetWaveFormat(const TWaveFormatEx* Format)
{
    Close();
    if (IsValidPCMFormat(Format))
    {
        sampleRate_ = Clamp<std::int32_t>(static_cast<std::int32_t>(Format->nSamplesPerSec),
                                          kMinSampleRate, kMaxSampleRate);
        bitLength_ = static_cast<TMMBits>(Format->wBitsPerSample / 8 - 1);
        mode_ = static_cast<TMMMode>(Format->nChannels - 1);
    }
    TMMWaveDevice::SetWaveFormat(Format);
    UpdateMaxRecordBytes();
}

void TMMWaveIn::ApplyOwnFormat()
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, BitsPerSample(bitLength_), ChannelCount(mode_),
                   static_cast<std::uint32_t>(sampleRate_));
    SetWaveFormat(&format);
}

void TMMWaveIn::SetMode(TMMMode Value)
{
    if (Value != mMono && Value != mStereo)
        return;
    RefuseWhileOpen();
    mode_ = Value;
    ApplyOwnFormat();
}

void TMMWaveIn::SetBitLength(TMMBits Value)
{
    RefuseWhileOpen();
    bitLength_ = Value;
    ApplyOwnFormat();
}

void TMMWaveIn::SetSampleRate(std::int32_t Value)
{
    RefuseWhileOpen();
    sampleRate_ = Clamp(Value, kMinSampleRate, kMaxSampleRate);
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

void TMMWaveIn::SetMaxRecordTime(std::int32_t Value)
{
    if (Value == maxRecordTime_.load())
        return;
    maxRecordTime_ = Value;
    UpdateMaxRecordBytes();
}

void TMMWaveIn::SetTimeFormat(TMMTimeFormats Value)
{
    if (Value == timeFormat_)
        return;
    const TWaveFormatEx* format = GetWaveFormat();
    if (maxRecordTime_.load() >= 0 && format)
    {
        const std::int32_t bytes = maxRecordBytes_.load();
        std::int32_t time = bytes;
        if (Value == tfMillisecond)
            time = BytesToMilliseconds(*format, bytes);
        else if (Value == tfSample)
            time = BytesToSamples(*format, bytes);
        maxRecordTime_ = time;
    }
    timeFormat_ = Value;
}

} // namespace keb
