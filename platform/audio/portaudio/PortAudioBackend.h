// The wave device layer over PortAudio: the real sound cards.
//
// Devices are numbered in PortAudio's order, capture devices (those with input
// channels) and playback devices (those with output channels) separately,
// followed by the ALSA devices that PortAudio's probe left out and that open
// by name (UnlistedAlsaDevices.h); WaveMapperId is PortAudio's default device
// of that direction. PortAudio is
// initialised when the backend is first used (so ALSA_CONFIG_PATH and friends
// must be set before) and terminated when the process ends. Capabilities are
// asked of PortAudio once per device and kept.
#pragma once

#include "platform/audio/WaveBackend.h"

#include <map>
#include <memory>
#include <mutex>
#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <string>
#include <vector>

namespace keb
{

class TPortAudioBackend final : public TWaveBackend
{
  public:
    static std::shared_ptr<TPortAudioBackend> Instance();
    ~TPortAudioBackend() override;

    int DeviceCount(TWaveDirection direction) override;
    TWaveResult GetCaps(TWaveDirection direction, int deviceId, TWaveCaps& caps) override;
    TWaveResult QueryFormat(TWaveDirection direction, int deviceId,
                            const TWaveFormatEx& format) override;
    TWaveResult Open(TWaveDirection direction, int deviceId, TWaveDevice& device,
                     std::unique_ptr<TWaveEngine>& engine) override;
    // PortAudio's default sample rate of the device.
    std::uint32_t DefaultRate(TWaveDirection direction, int deviceId) override;
    // PortAudio's default low latency of the device, which is what a stream
    // opened by this backend asks for (0, unknown, for a device opened by
    // name, whose streams ask for what suits the wave layer's latency); for
    // a device of PortAudio's JACK host API, the server's period as it was
    // when the backend started.
    double BlockSeconds(TWaveDirection direction, int deviceId) override;

    // One device of a direction: PortAudio's own, or an ALSA device that
    // PortAudio opens by name (Index paUseHostApiSpecificDeviceSpecification).
    struct TDevice
    {
        PaDeviceIndex Index = paNoDevice;
        std::string Name;
        int Channels = 0;
        PaAlsaStreamInfo Alsa{};
        bool SoundServer = false; // an ALSA device of a sound server (SoundServerDevices.h)
    };

  private:
    TPortAudioBackend();
    void AddUnlistedAlsaDevices();
    void FindSoundServerDevices();
    const std::vector<TDevice>& Devices(TWaveDirection direction) const;
    // Null for an unknown device.
    const TDevice* Resolve(TWaveDirection direction, int deviceId) const;
    std::uint32_t FormatMask(TWaveDirection direction, const TDevice& device);

    bool initialised_ = false;
    double jackPeriod_ = 0; // seconds; 0 without a JACK server
    // Made once, before any use: a device's Alsa field stays where it is.
    std::vector<TDevice> captureDevices_;
    std::vector<TDevice> playbackDevices_;
    // PortAudio's device calls are not made from two threads at once.
    std::mutex lock_;
    std::map<const TDevice*, std::uint32_t> masks_;
};

// The stream parameters for Format on Device, as PortAudio wants them.
PaStreamParameters StreamParameters(const TPortAudioBackend::TDevice& device,
                                    TWaveDirection direction, const TWaveFormatEx& format);

// The wave result for a PortAudio error; Opening says whether it came from an
// open, where an unnamed failure means the device refused to open.
TWaveResult ResultOf(PaError error, bool opening);

} // namespace keb
