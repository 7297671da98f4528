// Part of the wave device layer (WaveAudio.h): the public operations: check the
// arguments, pick the backend, hand the work to the WaveDevice of the handle.
#include "platform/audio/WaveAudio.h"

#include "platform/audio/RateFallback.h"
#include "platform/audio/WaveDevice.h"

#include <new>

namespace keb
{

namespace
{

TWaveResult CheckDeviceId(WaveBackend& Backend, WaveDirection Direction, int DeviceId)
{
    const int Count = Backend.DeviceCount(Direction);
    if (Count == 0)
    {
        return wrNoDriver;
    }
    return DeviceId < WaveMapperId || DeviceId >= Count ? wrBadDeviceId : wrNoError;
}

TWaveResult GetDevCaps(WaveDirection Direction, int DeviceId, TWaveCaps* Caps)
{
    if (Caps == nullptr)
    {
        return wrInvalidParameter;
    }
    const auto Backend = CurrentWaveBackend();
    if (const TWaveResult Result = CheckDeviceId(*Backend, Direction, DeviceId);
        Result != wrNoError)
    {
        return Result;
    }
    const TWaveResult Result = Backend->GetCaps(Direction, DeviceId, *Caps);
    if (Result == wrNoError)
    {
        Caps->dwFormats = WithConversion(Caps->dwFormats);
    }
    return Result;
}

// CardFormat: what the card runs at for Format (see RateFallback.h).
TWaveResult QueryFormat(WaveBackend& Backend, WaveDirection Direction, int DeviceId,
                        const TWaveFormatEx* Format, TWaveFormatEx& CardFormat)
{
    if (Format == nullptr)
    {
        return wrInvalidParameter;
    }
    if (const TWaveResult Result = CheckDeviceId(Backend, Direction, DeviceId); Result != wrNoError)
    {
        return Result;
    }
    if (const TWaveResult Result = CheckPcmFormat(*Format); Result != wrNoError)
    {
        return Result;
    }
    return ChooseCardFormat(Backend, Direction, DeviceId, *Format, CardFormat);
}

TWaveResult QueryFormat(WaveDirection Direction, int DeviceId, const TWaveFormatEx* Format)
{
    TWaveFormatEx CardFormat{};
    return QueryFormat(*CurrentWaveBackend(), Direction, DeviceId, Format, CardFormat);
}

template <typename Device, typename Callback>
TWaveResult Open(Device** Handle, WaveDirection Direction, int DeviceId,
                 const TWaveFormatEx* Format, Callback Notify, void* User)
{
    if (Handle == nullptr)
    {
        return wrInvalidParameter;
    }
    *Handle = nullptr;
    const auto Backend = CurrentWaveBackend();
    TWaveFormatEx CardFormat{};
    if (const TWaveResult Result = QueryFormat(*Backend, Direction, DeviceId, Format, CardFormat);
        Result != wrNoError)
    {
        return Result;
    }
    auto Opened = std::unique_ptr<Device>(new (std::nothrow) Device(*Format));
    if (!Opened)
    {
        return wrNoMemory;
    }
    Opened->SetCallback(Notify, User);
    std::unique_ptr<WaveEngine> Engine;
    if (const TWaveResult Result =
            OpenCardEngine(*Backend, Direction, DeviceId, *Opened, CardFormat, Engine);
        Result != wrNoError)
    {
        return Result;
    }
    if (const TWaveResult Result = Opened->Attach(std::move(Engine)); Result != wrNoError)
    {
        return Result;
    }
    *Handle = Opened.release();
    (*Handle)->NotifyOpened();
    return wrNoError;
}

template <typename Device> TWaveResult Close(Device* Handle)
{
    if (Handle == nullptr)
    {
        return wrInvalidHandle;
    }
    const TWaveResult Result = Handle->Close();
    if (Result == wrNoError)
    {
        delete Handle;
    }
    return Result;
}

TWaveResult GetPosition(WaveDevice* Handle, TWavePosition* Position)
{
    if (Handle == nullptr)
    {
        return wrInvalidHandle;
    }
    if (Position == nullptr)
    {
        return wrInvalidParameter;
    }
    return Handle->GetPosition(*Position);
}

// Runs Operation on the handle's device, or reports the null handle.
template <typename Operation> TWaveResult WithDevice(WaveDevice* Handle, Operation Run)
{
    return Handle == nullptr ? wrInvalidHandle : Run(*Handle);
}

} // namespace

namespace
{
double BlockSeconds(WaveDirection Direction, int DeviceId)
{
    const auto Backend = CurrentWaveBackend();
    if (DeviceId < WaveMapperId || DeviceId >= Backend->DeviceCount(Direction))
        return 0;
    return Backend->BlockSeconds(Direction, DeviceId);
}
} // namespace

double WaveInGetBlockSeconds(int DeviceId)
{
    return BlockSeconds(WaveDirection::Capture, DeviceId);
}

double WaveOutGetBlockSeconds(int DeviceId)
{
    return BlockSeconds(WaveDirection::Playback, DeviceId);
}

int WaveInGetNumDevs()
{
    return CurrentWaveBackend()->DeviceCount(WaveDirection::Capture);
}

TWaveResult WaveInGetDevCaps(int DeviceId, TWaveCaps* Caps)
{
    return GetDevCaps(WaveDirection::Capture, DeviceId, Caps);
}

TWaveResult WaveInQueryFormat(int DeviceId, const TWaveFormatEx* Format)
{
    return QueryFormat(WaveDirection::Capture, DeviceId, Format);
}

TWaveResult WaveInOpen(HWaveIn* Handle, int DeviceId, const TWaveFormatEx* Format,
                       TWaveInCallback Callback, void* User)
{
    return Open(Handle, WaveDirection::Capture, DeviceId, Format, Callback, User);
}

TWaveResult WaveInPrepareHeader(HWaveIn Device, TWaveHdr* Header)
{
    return WithDevice(Device, [&](WaveDevice& Open) { return Open.Prepare(Header); });
}

TWaveResult WaveInUnprepareHeader(HWaveIn Device, TWaveHdr* Header)
{
    return WithDevice(Device, [&](WaveDevice& Open) { return Open.Unprepare(Header); });
}

TWaveResult WaveInAddBuffer(HWaveIn Device, TWaveHdr* Header)
{
    return WithDevice(Device, [&](WaveDevice& Open) { return Open.Queue(Header); });
}

TWaveResult WaveInStart(HWaveIn Device)
{
    return WithDevice(Device, [](WaveDevice& Open) { return Open.Start(); });
}

TWaveResult WaveInStop(HWaveIn Device)
{
    return WithDevice(Device, [](WaveDevice& Open) { return Open.Stop(); });
}

TWaveResult WaveInReset(HWaveIn Device)
{
    return WithDevice(Device, [](WaveDevice& Open) { return Open.Reset(); });
}

TWaveResult WaveInGetPosition(HWaveIn Device, TWavePosition* Position)
{
    return GetPosition(Device, Position);
}

TWaveResult WaveInClose(HWaveIn Device)
{
    return Close(Device);
}

int WaveOutGetNumDevs()
{
    return CurrentWaveBackend()->DeviceCount(WaveDirection::Playback);
}

TWaveResult WaveOutGetDevCaps(int DeviceId, TWaveCaps* Caps)
{
    return GetDevCaps(WaveDirection::Playback, DeviceId, Caps);
}

TWaveResult WaveOutQueryFormat(int DeviceId, const TWaveFormatEx* Format)
{
    return QueryFormat(WaveDirection::Playback, DeviceId, Format);
}

TWaveResult WaveOutOpen(HWaveOut* Handle, int DeviceId, const TWaveFormatEx* Format,
                        TWaveOutCallback Callback, void* User)
{
    return Open(Handle, WaveDirection::Playback, DeviceId, Format, Callback, User);
}

TWaveResult WaveOutPrepareHeader(HWaveOut Device, TWaveHdr* Header)
{
    return WithDevice(Device, [&](WaveDevice& Open) { return Open.Prepare(Header); });
}

TWaveResult WaveOutUnprepareHeader(HWaveOut Device, TWaveHdr* Header)
{
    return WithDevice(Device, [&](WaveDevice& Open) { return Open.Unprepare(Header); });
}

TWaveResult WaveOutWrite(HWaveOut Device, TWaveHdr* Header)
{
    return WithDevice(Device, [&](WaveDevice& Open) { return Open.Queue(Header); });
}

TWaveResult WaveOutPause(HWaveOut Device)
{
    return WithDevice(Device, [](WaveDevice& Open) { return Open.Stop(); });
}

TWaveResult WaveOutRestart(HWaveOut Device)
{
    return WithDevice(Device, [](WaveDevice& Open) { return Open.Start(); });
}

TWaveResult WaveOutReset(HWaveOut Device)
{
    return WithDevice(Device, [](WaveDevice& Open) { return Open.Reset(); });
}

TWaveResult WaveOutGetPosition(HWaveOut Device, TWavePosition* Position)
{
    return GetPosition(Device, Position);
}

TWaveResult WaveOutClose(HWaveOut Device)
{
    return Close(Device);
}

} // namespace keb
