// Part of TMMWaveDevice (MMWaveDevice.h): properties, open, close and errors.
#include "devices/MMWaveDevice.h"

#include "devices/MMWaveDeviceHooks.h"
#include "stream/MMTime.h"

#include <algorithm>

namespace keb
{
namespace
{
constexpr int ErrorTextSize = 255;
constexpr std::int32_t NotificationWaitMs = 10;
} // namespace

std::uint32_t StandardFormatBit(const TWaveFormatEx& format)
{
    const std::uint32_t rate = format.nSamplesPerSec;
    std::uint32_t rateClass = 0;
    if (rate >= 8000 && rate <= 11025)
        rateClass = WaveFormat1M08;
    else if (rate >= 11026 && rate <= 22050)
        rateClass = WaveFormat2M08;
    else if (rate >= 22051 && rate <= 48000)
        rateClass = WaveFormat4M08;
    const bool knownLayout = (format.nChannels == 1 || format.nChannels == 2) &&
                             (format.wBitsPerSample == 8 || format.wBitsPerSample == 16);
    if (rateClass == 0 || !knownLayout)
        return 0;
    // Within a class: mono 8, stereo 8, mono 16, stereo 16 bit.
    const int shift = (format.nChannels == 2 ? 1 : 0) + (format.wBitsPerSample == 16 ? 2 : 0);
    return rateClass << shift;
}

std::string DeviceMessage(const std::string& prefix, const std::string& text)
{
    return prefix + "\n\r" + text;
}

TMMWaveDevice::TMMWaveDevice(TComponent* owner, const TWaveDeviceTraits& traits)
    : TMMCustomSoundComponent(owner), traits_(traits),
      window_(std::make_unique<TMessageWindow>([this](const TMessage& m) { WindowProc(m); })),
      numDevs_(traits.GetNumDevs())
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

void TMMWaveDevice::Fire(const TMMNotifyEvent& event)
{
    if (event)
        event(this);
}

void TMMWaveDevice::DeviceError(const std::string& message)
{
    Fire(OnError);
    std::rethrow_exception(traits_.MakeError(message));
}

void TMMWaveDevice::RefuseWhileOpen()
{
    if (HasState(wsOpened))
        DeviceError("Change to property while device was open");
}

std::string TMMWaveDevice::ErrorText(TWaveResult result) const
{
    char text[ErrorTextSize] = {};
    if (traits_.GetErrorText(result, text, sizeof(text)) != wrNoError)
        return "Specified error number is out of range (unknown error)";
    return text;
}

void TMMWaveDevice::Check(TWaveResult result, const char* call)
{
    lastError_.store(result);
    if (result != wrNoError)
        DeviceError(DeviceMessage(std::string(traits_.Api) + call + ":", ErrorText(result)));
}

void TMMWaveDevice::SetBufferSize(std::int32_t value)
{
    if (value == GetBufferSize())
        return;
    RefuseWhileOpen();
    TMMCustomSoundComponent::SetBufferSize(std::max(value, MinWaveBufferBytes));
}

void TMMWaveDevice::SetNumBuffers(std::int32_t value)
{
    if (value < 2)
        return;
    RefuseWhileOpen();
    numBuffers_ = std::min(value, MaxWaveBuffers);
}

void TMMWaveDevice::SetDeviceID(TMMDeviceId value)
{
    RefuseWhileOpen();
    productName_ = traits_.NoDevice;
    driverVersion_ = 0;
    if (numDevs_ > 0)
    {
        TWaveCaps caps{};
        lastError_.store(traits_.GetDevCaps(value, &caps));
        if (lastError_.load() == wrNoError)
        {
            productName_ = caps.szPname;
            driverVersion_ = caps.vDriverVersion;
        }
    }
    deviceId_ = (value < MapperId || value >= numDevs_) ? badDeviceId : value;
}

void TMMWaveDevice::SetCallBackMode(TMMCBMode value)
{
    RefuseWhileOpen();
    if (value == cmCallback)
    {
        ShowCallBacksRefused(traits_.ClassName);
        return;
    }
    callBackMode_ = value;
}

bool TMMWaveDevice::CanDeviceDo(TMMDeviceId device, const TWaveFormatEx* format)
{
    if (!format || device < MapperId || device >= numDevs_)
        return false;
    if (traits_.QueryFormat(device, format) != wrNoError)
        return false;
    if (format->wFormatTag != WaveFormatPcm)
        return true;
    TWaveCaps caps{};
    if (traits_.GetDevCaps(device, &caps) != wrNoError)
        return false;
    const std::uint32_t bit = StandardFormatBit(*format);
    return bit == 0 || (caps.dwFormats & bit) != 0;
}

bool TMMWaveDevice::WaitForState(TMMWaveDeviceState bit) const
{
    for (int wait = 0; wait < traits_.NotificationWaits && !HasState(bit); ++wait)
        Delay(NotificationWaitMs, false);
    return HasState(bit);
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

void TMMWaveDevice::CloseAfterFailure(TFailure kind)
{
    if (kind == TFailure::OpeningFailed)
        SetState(wsOpened);
    else if (kind == TFailure::StartingFailed)
        AddState(wsStarted);
    Close();
    if (kind != TFailure::CloseOnly)
        SetState(wsClosed);
}

bool TMMWaveDevice::StoreStateNotification(TWaveMessage message)
{
    if (message == wmOpened)
        SetState(wsOpened);
    else if (message == wmClosed)
        SetState(wsClosed);
    else
        return false;
    return true;
}

void TMMWaveDevice::QueueBuffer(TWaveHdr* header)
{
    std::lock_guard guard(lock_);
    if (stopping_.load())
        return;
    StoreWaveHdrFlags(*header, WaveHdrPrepared);
    ++queuedCount_;
    const TWaveResult result = traits_.Queue(Handle(), header);
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
