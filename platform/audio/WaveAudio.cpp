// Part of the wave device layer (WaveAudio.h): the public operations: check the
// arguments, pick the backend, hand the work to the TWaveDevice of the handle.
#include "platform/audio/WaveAudio.h"

#include "platform/audio/RateFallback.h"
#include "platform/audio/WaveDevice.h"

#include <new>

namespace keb
{

namespace
{

TWaveResult CheckDeviceId(TWaveBackend& backend, TWaveDirection direction, int deviceId)
{
    const int count = backend.DeviceCount(direction);
    if (count == 0)
    {
        return wrNoDriver;
    }
    return deviceId < WaveMapperId || deviceId >= count ? wrBadDeviceId : wrNoError;
}

TWaveResult GetDevCaps(TWaveDirection direction, int deviceId, TWaveCaps* caps)
{
    if (caps == nullptr)
    {
        return wrInvalidParameter;
    }
    const auto backend = CurrentWaveBackend();
    if (const TWaveResult result = CheckDeviceId(*backend, direction, deviceId);
        result != wrNoError)
    {
        return result;
    }
    const TWaveResult result = backend->GetCaps(direction, deviceId, *caps);
    if (result == wrNoError)
    {
        caps->dwFormats = WithConversion(caps->dwFormats);
    }
    return result;
}

// CardFormat: what the card runs at for Format (see RateFallback.h).
TWaveResult QueryFormat(TWaveBackend& backend, TWaveDirection direction, int deviceId,
                        const TWaveFormatEx* format, TWaveFormatEx& cardFormat)
{
    if (format == nullptr)
    {
        return wrInvalidParameter;
    }
    if (const TWaveResult result = CheckDeviceId(backend, direction, deviceId); result != wrNoError)
    {
        return result;
    }
    if (const TWaveResult result = CheckPcmFormat(*format); result != wrNoError)
    {
        return result;
    }
    return ChooseCardFormat(backend, direction, deviceId, *format, cardFormat);
}

TWaveResult QueryFormat(TWaveDirection direction, int deviceId, const TWaveFormatEx* format)
{
    TWaveFormatEx cardFormat{};
    return QueryFormat(*CurrentWaveBackend(), direction, deviceId, format, cardFormat);
}

template <typename Device, typename Callback>
TWaveResult Open(Device** handle, TWaveDirection direction, int deviceId,
                 const TWaveFormatEx* format, Callback notify, void* user)
{
    if (handle == nullptr)
    {
        return wrInvalidParameter;
    }
    *handle = nullptr;
    const auto backend = CurrentWaveBackend();
    TWaveFormatEx cardFormat{};
    if (const TWaveResult result = QueryFormat(*backend, direction, deviceId, format, cardFormat);
        result != wrNoError)
    {
        return result;
    }
    auto opened = std::unique_ptr<Device>(new (std::nothrow) Device(*format));
    if (!opened)
    {
        return wrNoMemory;
    }
    opened->SetCallback(notify, user);
    std::unique_ptr<TWaveEngine> engine;
    if (const TWaveResult result =
            OpenCardEngine(*backend, direction, deviceId, *opened, cardFormat, engine);
        result != wrNoError)
    {
        return result;
    }
    if (const TWaveResult result = opened->Attach(std::move(engine)); result != wrNoError)
    {
        return result;
    }
    *handle = opened.release();
    (*handle)->NotifyOpened();
    return wrNoError;
}

template <typename Device> TWaveResult Close(Device* handle)
{
    if (handle == nullptr)
    {
        return wrInvalidHandle;
    }
    const TWaveResult result = handle->Close();
    if (result == wrNoError)
    {
        delete handle;
    }
    return result;
}

TWaveResult GetPosition(TWaveDevice* handle, TWavePosition* position)
{
    if (handle == nullptr)
    {
        return wrInvalidHandle;
    }
    if (position == nullptr)
    {
        return wrInvalidParameter;
    }
    return handle->GetPosition(*position);
}

// Runs Operation on the handle's device, or reports the null handle.
template <typename Operation> TWaveResult WithDevice(TWaveDevice* handle, Operation run)
{
    return handle == nullptr ? wrInvalidHandle : run(*handle);
}

} // namespace

namespace
{
double BlockSeconds(TWaveDirection direction, int deviceId)
{
    const auto backend = CurrentWaveBackend();
    if (deviceId < WaveMapperId || deviceId >= backend->DeviceCount(direction))
        return 0;
    return backend->BlockSeconds(direction, deviceId);
}
} // namespace

double WaveInGetBlockSeconds(int deviceId)
{
    return BlockSeconds(TWaveDirection::Capture, deviceId);
}

double WaveOutGetBlockSeconds(int deviceId)
{
    return BlockSeconds(TWaveDirection::Playback, deviceId);
}

int WaveInGetNumDevs()
{
    return CurrentWaveBackend()->DeviceCount(TWaveDirection::Capture);
}

TWaveResult WaveInGetDevCaps(int deviceId, TWaveCaps* caps)
{
    return GetDevCaps(TWaveDirection::Capture, deviceId, caps);
}

TWaveResult WaveInQueryFormat(int deviceId, const TWaveFormatEx* format)
{
    return QueryFormat(TWaveDirection::Capture, deviceId, format);
}

TWaveResult WaveInOpen(HWaveIn* handle, int deviceId, const TWaveFormatEx* format,
                       TWaveInCallback callback, void* user)
{
    return Open(handle, TWaveDirection::Capture, deviceId, format, callback, user);
}

TWaveResult WaveInPrepareHeader(HWaveIn device, TWaveHdr* header)
{
    return WithDevice(device, [&](TWaveDevice& open) { return open.Prepare(header); });
}

TWaveResult WaveInUnprepareHeader(HWaveIn device, TWaveHdr* header)
{
    return WithDevice(device, [&](TWaveDevice& open) { return open.Unprepare(header); });
}

TWaveResult WaveInAddBuffer(HWaveIn device, TWaveHdr* header)
{
    return WithDevice(device, [&](TWaveDevice& open) { return open.Queue(header); });
}

TWaveResult WaveInStart(HWaveIn device)
{
    return WithDevice(device, [](TWaveDevice& open) { return open.Start(); });
}

TWaveResult WaveInStop(HWaveIn device)
{
    return WithDevice(device, [](TWaveDevice& open) { return open.Stop(); });
}

TWaveResult WaveInReset(HWaveIn device)
{
    return WithDevice(device, [](TWaveDevice& open) { return open.Reset(); });
}

TWaveResult WaveInGetPosition(HWaveIn device, TWavePosition* position)
{
    return GetPosition(device, position);
}

TWaveResult WaveInClose(HWaveIn device)
{
    return Close(device);
}

int WaveOutGetNumDevs()
{
    return CurrentWaveBackend()->DeviceCount(TWaveDirection::Playback);
}

TWaveResult WaveOutGetDevCaps(int deviceId, TWaveCaps* caps)
{
    return GetDevCaps(TWaveDirection::Playback, deviceId, caps);
}

TWaveResult WaveOutQueryFormat(int deviceId, const TWaveFormatEx* format)
{
    return QueryFormat(TWaveDirection::Playback, deviceId, format);
}

TWaveResult WaveOutOpen(HWaveOut* handle, int deviceId, const TWaveFormatEx* format,
                        TWaveOutCallback callback, void* user)
{
    return Open(handle, TWaveDirection::Playback, deviceId, format, callback, user);
}

TWaveResult WaveOutPrepareHeader(HWaveOut device, TWaveHdr* header)
{
    return WithDevice(device, [&](TWaveDevice& open) { return open.Prepare(header); });
}

TWaveResult WaveOutUnprepareHeader(HWaveOut device, TWaveHdr* header)
{
    return WithDevice(device, [&](TWaveDevice& open) { return open.Unprepare(header); });
}

TWaveResult WaveOutWrite(HWaveOut device, TWaveHdr* header)
{
    return WithDevice(device, [&](TWaveDevice& open) { return open.Queue(header); });
}

TWaveResult WaveOutPause(HWaveOut device)
{
    return WithDevice(device, [](TWaveDevice& open) { return open.Stop(); });
}

TWaveResult WaveOutRestart(HWaveOut device)
{
    return WithDevice(device, [](TWaveDevice& open) { return open.Start(); });
}

TWaveResult WaveOutReset(HWaveOut device)
{
    return WithDevice(device, [](TWaveDevice& open) { return open.Reset(); });
}

TWaveResult WaveOutGetPosition(HWaveOut device, TWavePosition* position)
{
    return GetPosition(device, position);
}

TWaveResult WaveOutClose(HWaveOut device)
{
    return Close(device);
}

} // namespace keb
