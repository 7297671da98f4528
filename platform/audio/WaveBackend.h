// What a backend of the wave device layer provides, and which backend is in use.
//
// Internal to platform/audio: the components see only WaveAudio.h. A backend
// enumerates devices and opens a TWaveEngine per device; the engine moves audio
// between the sound card (real or simulated) and the TWaveDevice, which keeps
// the waveIn/waveOut semantics common to every backend.
//
// Implemented in: TWaveBackend.cpp (the format check and the device name copy
// every backend uses), WaveBackendSelection.cpp (which backend is in use).
#pragma once

#include "platform/audio/WaveAudio.h"

#include <memory>

namespace keb
{

class TWaveDevice;

enum class TWaveDirection
{
    Capture,
    Playback,
};

// The backend's side of one open device. Start and Stop come from control
// calls, never from the audio context; the destructor closes the device.
class TWaveEngine
{
  public:
    virtual ~TWaveEngine() = default;
    // Begins calling the device's TransferCapture / TransferPlayback.
    virtual TWaveResult Start() = 0;
    // When Stop returns, no transfer runs and none begins until the next
    // Start. discard: drop audio the sound card still holds instead of
    // playing it out.
    virtual TWaveResult Stop(bool discard) = 0;
    // The result an add or write gets before the buffer is queued.
    virtual TWaveResult QueueResult() const { return wrNoError; }
    // False when the closed notification is to be lost.
    virtual bool SendsClosedNotification() const { return true; }
};

class TWaveBackend
{
  public:
    virtual ~TWaveBackend() = default;
    virtual int DeviceCount(TWaveDirection direction) = 0;
    // deviceId is WaveMapperId or 0 .. DeviceCount - 1 (checked by the caller).
    virtual TWaveResult GetCaps(TWaveDirection direction, int deviceId, TWaveCaps& caps) = 0;
    // format has passed CheckPcmFormat.
    virtual TWaveResult QueryFormat(TWaveDirection direction, int deviceId,
                                    const TWaveFormatEx& format) = 0;
    // The engine runs the sound card in device.Format(), which has passed
    // QueryFormat.
    virtual TWaveResult Open(TWaveDirection direction, int deviceId, TWaveDevice& device,
                             std::unique_ptr<TWaveEngine>& engine) = 0;
    // The rate the device runs at by preference, 0 when it has none; tried
    // first when the device refuses a rate (see RateFallback.h).
    virtual std::uint32_t DefaultRate(TWaveDirection, int) { return 0; }
    // How much audio the device hands over or takes at once (its period),
    // in seconds; 0 when it does not say. Buffers smaller than this cannot
    // lower the latency and only starve the stream.
    virtual double BlockSeconds(TWaveDirection, int) { return 0; }
};

// wrNoError for PCM with 8 or 16 bits, at least one channel, a rate above 0
// and the block alignment and data rate these imply; else wrBadFormat.
TWaveResult CheckPcmFormat(const TWaveFormatEx& format);

// The backend that new calls use: the one set by SelectWaveBackend, else the
// one KEB_AUDIO names (created at first use).
std::shared_ptr<TWaveBackend> CurrentWaveBackend();
// Null returns to the environment's choice.
void SelectWaveBackend(std::shared_ptr<TWaveBackend> backend);

// Says more about why the call the current thread is making fails with
// result (the file a virtual device cannot read): the next error text of
// result asked for in this thread (WaveInGetErrorText, ...) is detail instead
// of the general text, once.
void SetWaveErrorDetail(TWaveResult result, std::string detail);

// Copies text into a NUL-terminated fixed-size name field, cut if too long.
void CopyDeviceName(const char* text, TWaveCaps& caps);

} // namespace keb
