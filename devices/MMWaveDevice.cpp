// Part of TMMWaveDevice (MMWaveDevice.h): properties, open, close and errors.
#include "devices/MMWaveDevice.h"

#include "devices/MMWaveDeviceHooks.h"
#include "stream/MMTime.h"

#include <algorithm>

namespace keb
{
namespace
{
constexpr int kErrorTextSize = 255;
constexpr std::int32_t kNotificationWaitMs = 10;
} // namespace

std::uint32_t StandardFormatBit(const TWaveFormatEx& Format)
{
    const std::uint32_t rate = Format.nSamplesPerSec;
    std::uint32_t rateClass = 0;
    if (rate >= 8000 && rate <= 11025)
        rateClass = WaveFormat1M08;
    else if (rate >= 11026 && rate <= 22050)
        rateClass = WaveFormat2M08;
    else if (rate >= 22051 && rate <= 48000)
        rateClass = WaveFormat4M08;
    const bool knownLayout = (Format.nChannels == 1 || Format.nChannels == 2) &&
                             (Format.wBitsPerSample == 8 || Format.wBitsPerSample == 16);
    if (rateClass == 0 || !knownLayout)
        return 0;
    // Within a class: mono 8, stereo 8, mono 16, stereo 16 bit.
    const int shift = (Format.nChannels == 2 ? 1 : 0) + (Format.wBitsPerSample == 16 ? 2 : 0);
    return rateClass << shift;
}

std::string DeviceMessage(const std::string& Prefix, const std::string& Text)
{
    return Prefix + "\n\r" + Text;
}

TMMWaveDevice::TMMWaveDevice(TComponent* Owner, const TWaveDeviceTraits& Traits)
    : TMMCustomSoundComponent(Owner), traits_(Traits),
      window_(std::make_unique<TMessageWindow>([this](const TMessage& M) { WindowProc(M); })),
      numDevs_(Traits.GetNumDevs())
{
    SetDeviceID(0);
}

// A derived destructor has closed the device; what a failed close left
// behind goes here.
TMMWaveDevice::~TMMWaveDevice()
{
    EndWorker();
    FreeHeaders();
}

void TMMWaveDevice::Fire(const TMMNotifyEvent& Event)
{
    if (Event)
        Event(this);
}

void TMMWaveDevice::DeviceError(const std::string& Message)
{
    Fire(OnError);
    std::rethrow_exception(traits_.MakeError(Message));
}

void TMMWaveDevice::RefuseWhileOpen()
{
    if (HasState(wsOpened))
        DeviceError("Change to property while device was open");
}

std::string TMMWaveDevice::ErrorText(TWaveResult Result) const
{
    char text[kErrorTextSize] = {};
    if (traits_.GetErrorText(Result, text, sizeof(text)) != wrNoError)
        return "Specified error number is out of range (unknown error)";
    return text;
}

void TMMWaveDevice::Check(TWaveResult Result, const char* Call)
{
    lastError_.store(Result);
    if (Result != wrNoError)
        DeviceError(DeviceMessage(std::string(traits_.Api) + Call + ":", ErrorText(Result)));
}

void TMMWaveDevice::SetBufferSize(std::int32_t Value)
{
    if (Value == GetBufferSize())
        return;
    RefuseWhileOpen();
    TMMCustomSoundComponent::SetBufferSize(std::max(Value, kMinWaveBufferBytes));
}

void TMMWaveDevice::SetNumBuffers(std::int32_t Value)
{
    if (Value < 2)
        return;
    RefuseWhileOpen();
    numBuffers_ = std::min(Value, kMaxWaveBuffers);
}

void TMMWaveDevice::SetDeviceID(TMMDeviceId Value)
{
    RefuseWhileOpen();
    productName_ = traits_.NoDevice;
    driverVersion_ = 0;
    if (numDevs_ > 0)
    {
        TWaveCaps caps{};
        lastError_.store(traits_.GetDevCaps(Value, &caps));
        if (lastError_.load() == wrNoError)
        {
            productName_ = caps.szPname;
            driverVersion_ = caps.vDriverVersion;
        }
    }
    deviceId_ = (Value < MapperId || Value >= numDevs_) ? badDeviceId : Value;
}

void TMMWaveDevice::SetCallBackMode(TMMCBMode Value)
{
    RefuseWhileOpen();
    if (Value == cmCallback)
    {
        ShowCallBacksRefused(traits_.ClassName);
        return;
    }
    callBackMode_ = Value;
}

bool TMMWaveDevice::CanDeviceDo(TMMDeviceId Device, const TWaveFormatEx* Format)
{
    if (!Format || Device < MapperId || Device >= numDevs_)
        return false;
    if (traits_.QueryFormat(Device, Format) != wrNoError)
        return false;
    if (Format->wFormatTag != WaveFormatPcm)
        return true;
    TWaveCaps caps{};
    if (traits_.GetDevCaps(Device, &caps) != wrNoError)
        return false;
    const std::uint32_t bit = StandardFormatBit(*Format);
    return bit == 0 || (caps.dwFormats & bit) != 0;
}

bool TMMWaveDevice::WaitForState(TMMWaveDeviceState Bit) const
{
    for (int wait = 0; wait < traits_.NotificationWaits && !HasState(Bit); ++wait)
        Delay(kNotificationWaitMs, false);
    return HasState(Bit);
}

void TMMWaveDevice::Open()
{
    if (numDevs_ == 0)
        DeviceError(traits_.NoDevice);
    if (deviceId_ == badDeviceId)
        DeviceError("Invalid DeviceID");
    if (!GetWaveFormat())
        DeviceError(traits_.InvalidFormat);
    if (HasState(wsOpened))
        Close();
    if (HasState(wsOpened) || closing_.load())
        return;
    closing_ = false;
    resetting_ = false;
    stopping_ = false;
    const std::string openPrefix = std::string(traits_.Api) + "Open:";
    Guarded(TFailure::OpeningFailed,
            [&]
            {
                // A device that is gone or busy says so, rather than being
                // taken for one that cannot do the format.
                const TWaveResult query = traits_.QueryFormat(deviceId_, GetWaveFormat());
                if (query != wrNoError && query != wrBadFormat)
                    Check(query, "Open");
                if (!CanDeviceDo(deviceId_, GetWaveFormat()))
                    DeviceError(DeviceMessage(openPrefix, traits_.CannotDoFormat));
                SetHandle(nullptr);
                closeDeferred_ = false;
                TMMCustomSoundComponent::ChainOpened();
                ++session_;
                if (callBackMode_ == cmThread)
                    StartWorker();
                Check(PlatformOpen(), "Open");
                if (!WaitForState(wsOpened))
                    DeviceError(DeviceMessage(openPrefix, "Unable to open device"));
                DeviceOpened();
            });
}

void TMMWaveDevice::CloseAfterFailure(TFailure Kind)
{
    if (Kind == TFailure::OpeningFailed)
        SetState(wsOpened);
    else if (Kind == TFailure::StartingFailed)
        AddState(wsStarted);
    Close();
    if (Kind != TFailure::CloseOnly)
        SetState(wsClosed);
}

bool TMMWaveDevice::StoreStateNotification(TWaveMessage Message)
{
    if (Message == wmOpened)
        SetState(wsOpened);
    else if (Message == wmClosed)
        SetState(wsClosed);
    else
        return false;
    return true;
}

void TMMWaveDevice::QueueBuffer(TWaveHdr* Header)
{
    std::lock_guard guard(lock_);
    if (stopping_.load())
        return;
    StoreWaveHdrFlags(*Header, WaveHdrPrepared);
    ++queuedCount_;
    const TWaveResult result = traits_.Queue(Handle(), Header);
    if (result != wrNoError)
        --queuedCount_;
    Check(result, traits_.QueueCall);
}

void TMMWaveDevice::Close()
{
    if (!HasState(wsOpened) || (closing_.load() && !closeDeferred_.load()))
        return;
    try
    {
        closing_ = true;
        if (IsStartedOrPaused())
            Stop();
        if (stopDeferred_.load())
        {
            closeDeferred_ = true;
            return;
        }
        closeDeferred_ = false;
        bool closedInTime = true;
        if (Handle())
        {
            UnprepareHeaders(numBuffers_);
            Check(traits_.Close(Handle()), "Close");
            closedInTime = WaitForState(wsClosed);
        }
        else
        {
            SetState(wsClosed);
        }
        // The platform has closed the handle even when its notification
        // got lost, so the component counts as closed either way.
        SetState(wsClosed);
        CompleteClose();
        EndWorker();
        if (!closedInTime)
            DeviceError(
                DeviceMessage(std::string(traits_.Api) + "Open:", "Unable to close device"));
    }
    catch (...)
    {
        closing_ = false;
    }
}

void TMMWaveDevice::CloseForDestruction()
{
    Destroying();
    if (!Handle())
        return;
    Close();
    if (!HasState(wsOpened))
        return;
    // The close was deferred behind a handler on the worker thread. Nobody
    // will be left to finish it from the main loop, so the handler is let
    // end and the close is done now, before the handler's object goes away.
    WaitForWorkerHandlers();
    stopDeferred_ = false;
    Close();
}

void TMMWaveDevice::CompleteClose()
{
    SetHandle(nullptr);
    FreeHeaders();
    TMMCustomSoundComponent::ChainClosed();
    if (!IsDestroying())
        Fire(OnClose);
    closing_ = false;
}

} // namespace keb
