// The wave device layer over PortAudio: the real sound cards.
//
// Devices are numbered in PortAudio's order, capture devices (those with input
// channels) and playback devices (those with output channels) separately;
// WaveMapperId is PortAudio's default device of that direction. PortAudio is
// initialised when the backend is first used (so ALSA_CONFIG_PATH and friends
// must be set before) and terminated when the process ends. Capabilities are
// asked of PortAudio once per device and kept.
#pragma once

#include "platform/audio/WaveBackend.h"

#include <map>
#include <memory>
#include <mutex>
#include <portaudio.h>
#include <vector>

namespace keb
{

class PortAudioBackend final : public WaveBackend
{
  public:
    static std::shared_ptr<PortAudioBackend> Instance();
    ~PortAudioBackend() override;

    int DeviceCount(WaveDirection Direction) override;
    TWaveResult GetCaps(WaveDirection Direction, int DeviceId, TWaveCaps& Caps) override;
    TWaveResult QueryFormat(WaveDirection Direction, int DeviceId,
                            const TWaveFormatEx& Format) override;
    TWaveResult Open(WaveDirection Direction, int DeviceId, WaveDevice& Device,
                     std::unique_ptr<WaveEngine>& Engine) override;
    // PortAudio's default sample rate of the device.
    std::uint32_t DefaultRate(WaveDirection Direction, int DeviceId) override;
    // PortAudio's default low latency of the device, which is what a stream
    // opened by this backend asks for.
    double BlockSeconds(WaveDirection Direction, int DeviceId) override;

  private:
    PortAudioBackend();
    const std::vector<PaDeviceIndex>& Devices(WaveDirection Direction) const;
    PaDeviceIndex Resolve(WaveDirection Direction, int DeviceId) const;
    std::uint32_t FormatMask(WaveDirection Direction, PaDeviceIndex Index);

    bool Initialised = false;
    std::vector<PaDeviceIndex> CaptureDevices;
    std::vector<PaDeviceIndex> PlaybackDevices;
    // PortAudio's device calls are not made from two threads at once.
    std::mutex Lock;
    std::map<PaDeviceIndex, std::uint32_t> CaptureMasks;
    std::map<PaDeviceIndex, std::uint32_t> PlaybackMasks;
};

// The stream parameters for Format on Index, as PortAudio wants them.
PaStreamParameters StreamParameters(PaDeviceIndex Index, WaveDirection Direction,
                                    const TWaveFormatEx& Format);

// The wave result for a PortAudio error; Opening says whether it came from an
// open, where an unnamed failure means the device refused to open.
TWaveResult ResultOf(PaError Error, bool Opening);

} // namespace keb
