#include "platform/audio/portaudio/PortAudioBackend.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/WaveLatency.h"
#include "platform/audio/portaudio/AudioLibraryMessages.h"
#include "platform/audio/portaudio/PortAudioEngine.h"
#include "platform/audio/portaudio/SoundServerDevices.h"
#include "platform/audio/portaudio/UnlistedAlsaDevices.h"

#include <algorithm>
#include <array>

namespace keb
{

namespace
{

struct TFormatClass
{
    std::array<double, 3> Rates; // 0 = unused
    std::uint32_t Mono8;         // the class's mono 8-bit bit; the others follow it
};

// The standard rates of each class of the capability mask, most common first.
constexpr std::array<TFormatClass, 3> FormatClasses{{
    {{8000, 11025, 0}, WaveFormat1M08},
    {{16000, 22050, 0}, WaveFormat2M08},
    {{44100, 48000, 32000}, WaveFormat4M08},
}};

// What a stream on an ALSA device opened by name asks for. Standard: about
// what PortAudio's probe finds for other ALSA devices. Low: 5 ms, which on a
// sound server's device comes to a few of the server's short periods (over
// JACK at 48000 Hz with 128-frame periods 36 ms from capture to playback
// against 38 with 10 ms asked for). Asking for nothing gave 29 ms there but
// dropped audio on a busy machine at 64-frame periods, and periods of a
// frame or two on a device that nothing paces.
double NamedDeviceLatency()
{
    return WaveGetLatency() == TWaveLatency::Low ? 0.005 : 0.01;
}

TWaveFormatEx PcmFormat(double rate, int channels, int bits)
{
    TWaveFormatEx format{};
    format.wFormatTag = WaveFormatPcm;
    format.nChannels = static_cast<std::uint16_t>(channels);
    format.nSamplesPerSec = static_cast<std::uint32_t>(rate);
    format.wBitsPerSample = static_cast<std::uint16_t>(bits);
    format.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    return format;
}

bool Supports(const TPortAudioBackend::TDevice& device, TWaveDirection direction,
              const TWaveFormatEx& format)
{
    const PaStreamParameters parameters = StreamParameters(device, direction, format);
    const bool capture = direction == TWaveDirection::Capture;
    return Pa_IsFormatSupported(capture ? &parameters : nullptr, capture ? nullptr : &parameters,
                                format.nSamplesPerSec) == paFormatIsSupported;
}

bool IsJackDevice(const PaDeviceInfo& info)
{
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info.hostApi);
    return api != nullptr && api->type == paJACK;
}

} // namespace

PaStreamParameters StreamParameters(const TPortAudioBackend::TDevice& device,
                                    TWaveDirection direction, const TWaveFormatEx& format)
{
    PaStreamParameters parameters{};
    parameters.device = device.Index;
    parameters.channelCount = format.nChannels;
    parameters.sampleFormat = format.wBitsPerSample == 8 ? paUInt8 : paInt16;
    if (device.Index == paUseHostApiSpecificDeviceSpecification)
    {
        parameters.hostApiSpecificStreamInfo = const_cast<PaAlsaStreamInfo*>(&device.Alsa);
        parameters.suggestedLatency = NamedDeviceLatency();
    }
    else
    {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device.Index);
        parameters.suggestedLatency = direction == TWaveDirection::Capture
                                          ? info->defaultLowInputLatency
                                          : info->defaultLowOutputLatency;
    }
    if (device.SoundServer)
        parameters.suggestedLatency = std::max(parameters.suggestedLatency, SoundServerLatency);
    return parameters;
}

TWaveResult ResultOf(PaError error, bool opening)
{
    switch (error)
    {
    case paNoError:
        return wrNoError;
    case paNotInitialized:
        return wrNoDriver;
    case paInvalidDevice:
        return wrBadDeviceId;
    case paInsufficientMemory:
        return wrNoMemory;
    case paInvalidChannelCount:
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paIncompatibleHostApiSpecificStreamInfo:
        return wrBadFormat;
    case paDeviceUnavailable:
        return wrAllocated;
    default:
        return opening ? wrOpenFailed : wrError;
    }
}

std::shared_ptr<TPortAudioBackend> TPortAudioBackend::Instance()
{
    static const std::shared_ptr<TPortAudioBackend> backend(new TPortAudioBackend());
    return backend;
}

TPortAudioBackend::TPortAudioBackend()
{
    QuietAudioLibraries();
    initialised_ = Pa_Initialize() == paNoError;
    if (!initialised_)
    {
        return;
    }
    for (PaDeviceIndex index = 0; index < Pa_GetDeviceCount(); ++index)
    {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info != nullptr && info->maxInputChannels > 0)
        {
            captureDevices_.push_back({index, info->name, info->maxInputChannels});
        }
        if (info != nullptr && info->maxOutputChannels > 0)
        {
            playbackDevices_.push_back({index, info->name, info->maxOutputChannels});
        }
    }
    AddUnlistedAlsaDevices();
    FindSoundServerDevices();
    if (Pa_HostApiTypeIdToHostApiIndex(paJACK) >= 0)
        jackPeriod_ = JackServerPeriodSeconds();
}

void TPortAudioBackend::FindSoundServerDevices()
{
    const PaHostApiIndex alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    for (auto* list : {&captureDevices_, &playbackDevices_})
    {
        for (TDevice& device : *list)
        {
            const PaDeviceInfo* info = device.Index == paUseHostApiSpecificDeviceSpecification
                                           ? nullptr
                                           : Pa_GetDeviceInfo(device.Index);
            const bool onAlsa = info == nullptr || info->hostApi == alsa;
            device.SoundServer = alsa >= 0 && onAlsa && IsSoundServerDevice(device.Name);
        }
    }
}

void TPortAudioBackend::AddUnlistedAlsaDevices()
{
    const PaHostApiIndex alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    if (alsa < 0)
    {
        return;
    }
    std::vector<std::string> listed;
    for (PaDeviceIndex index = 0; index < Pa_GetDeviceCount(); ++index)
    {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info != nullptr && info->hostApi == alsa)
        {
            listed.emplace_back(info->name);
        }
    }
    for (const TAlsaDevice& found : UnlistedAlsaDevices(listed))
    {
        TDevice device{paUseHostApiSpecificDeviceSpecification, found.Name};
        PaAlsa_InitializeStreamInfo(&device.Alsa);
        if (found.CaptureChannels > 0)
        {
            device.Channels = found.CaptureChannels;
            captureDevices_.push_back(device);
        }
        if (found.PlaybackChannels > 0)
        {
            device.Channels = found.PlaybackChannels;
            playbackDevices_.push_back(device);
        }
    }
    // The devices stay where they are from now on: each points PortAudio at its own name.
    for (auto* list : {&captureDevices_, &playbackDevices_})
    {
        for (TDevice& device : *list)
        {
            device.Alsa.deviceString = device.Name.c_str();
        }
    }
}

TPortAudioBackend::~TPortAudioBackend()
{
    if (initialised_)
    {
        Pa_Terminate();
    }
}

int TPortAudioBackend::DeviceCount(TWaveDirection direction)
{
    return static_cast<int>(Devices(direction).size());
}

TWaveResult TPortAudioBackend::GetCaps(TWaveDirection direction, int deviceId, TWaveCaps& caps)
{
    std::lock_guard guard(lock_);
    const TDevice* device = Resolve(direction, deviceId);
    if (device == nullptr)
    {
        return wrBadDeviceId;
    }
    caps = TWaveCaps{};
    CopyDeviceName(device->Name.c_str(), caps);
    const int version = Pa_GetVersion();
    caps.vDriverVersion =
        static_cast<std::uint32_t>(((version >> 16) & 0xFF) << 8 | ((version >> 8) & 0xFF));
    caps.wChannels = device->Channels >= 2 ? 2 : 1;
    caps.dwFormats = FormatMask(direction, *device);
    return wrNoError;
}

TWaveResult TPortAudioBackend::QueryFormat(TWaveDirection direction, int deviceId,
                                           const TWaveFormatEx& format)
{
    std::lock_guard guard(lock_);
    const TDevice* device = Resolve(direction, deviceId);
    if (device == nullptr)
    {
        return wrBadDeviceId;
    }
    return Supports(*device, direction, format) ? wrNoError : wrBadFormat;
}

TWaveResult TPortAudioBackend::Open(TWaveDirection direction, int deviceId, TWaveDevice& device,
                                    std::unique_ptr<TWaveEngine>& engine)
{
    std::lock_guard guard(lock_);
    const TDevice* card = Resolve(direction, deviceId);
    if (card == nullptr)
    {
        return wrBadDeviceId;
    }
    auto opened = std::make_unique<TPortAudioEngine>(device);
    const TWaveResult result = opened->Open(StreamParameters(*card, direction, device.Format()));
    if (result == wrNoError)
    {
        engine = std::move(opened);
    }
    return result;
}

std::uint32_t TPortAudioBackend::DefaultRate(TWaveDirection direction, int deviceId)
{
    std::lock_guard guard(lock_);
    const TDevice* device = Resolve(direction, deviceId);
    const PaDeviceInfo* info = device == nullptr ? nullptr : Pa_GetDeviceInfo(device->Index);
    return info == nullptr ? 0 : static_cast<std::uint32_t>(info->defaultSampleRate);
}

double TPortAudioBackend::BlockSeconds(TWaveDirection direction, int deviceId)
{
    std::lock_guard guard(lock_);
    const TDevice* device = Resolve(direction, deviceId);
    const PaDeviceInfo* info = device == nullptr ? nullptr : Pa_GetDeviceInfo(device->Index);
    if (info == nullptr)
        return 0;
    // A JACK server's device hands over one of the server's periods per cycle.
    if (IsJackDevice(*info))
        return jackPeriod_;
    return direction == TWaveDirection::Capture ? info->defaultLowInputLatency
                                                : info->defaultLowOutputLatency;
}

const std::vector<TPortAudioBackend::TDevice>&
TPortAudioBackend::Devices(TWaveDirection direction) const
{
    return direction == TWaveDirection::Capture ? captureDevices_ : playbackDevices_;
}

const TPortAudioBackend::TDevice* TPortAudioBackend::Resolve(TWaveDirection direction,
                                                             int deviceId) const
{
    const auto& list = Devices(direction);
    if (deviceId != WaveMapperId)
    {
        const auto index = static_cast<std::size_t>(deviceId);
        return deviceId >= 0 && index < list.size() ? &list[index] : nullptr;
    }
    const PaDeviceIndex defaultIndex = direction == TWaveDirection::Capture
                                           ? Pa_GetDefaultInputDevice()
                                           : Pa_GetDefaultOutputDevice();
    const auto found =
        std::find_if(list.begin(), list.end(),
                     [&](const TDevice& device) { return device.Index == defaultIndex; });
    if (found != list.end())
        return &*found;
    return list.empty() ? nullptr : &list.front();
}

std::uint32_t TPortAudioBackend::FormatMask(TWaveDirection direction, const TDevice& device)
{
    if (const auto known = masks_.find(&device); known != masks_.end())
    {
        return known->second;
    }
    const int maxChannels = device.Channels;
    std::uint32_t mask = 0;
    for (const TFormatClass& formatClass : FormatClasses)
    {
        for (int channels = 1; channels <= std::min(maxChannels, 2); ++channels)
        {
            for (int bits : {8, 16})
            {
                // Bit order within a class: mono 8, stereo 8, mono 16, stereo 16.
                const std::uint32_t bit = formatClass.Mono8
                                          << ((channels - 1) + (bits == 16 ? 2 : 0));
                for (double rate : formatClass.Rates)
                {
                    if (rate > 0 && Supports(device, direction, PcmFormat(rate, channels, bits)))
                    {
                        mask |= bit;
                        break;
                    }
                }
            }
        }
    }
    masks_.emplace(&device, mask);
    return mask;
}

} // namespace keb
