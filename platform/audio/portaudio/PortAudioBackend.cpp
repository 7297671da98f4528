#include "platform/audio/portaudio/PortAudioBackend.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/WaveLatency.h"
#include "platform/audio/portaudio/AudioLibraryMessages.h"
#include "platform/audio/portaudio/PortAudioEngine.h"
#include "platform/audio/portaudio/UnlistedAlsaDevices.h"

#include <algorithm>
#include <array>

namespace keb
{

namespace
{

struct FormatClass
{
    std::array<double, 3> Rates; // 0 = unused
    std::uint32_t Mono8;         // the class's mono 8-bit bit; the others follow it
};

// The standard rates of each class of the capability mask, most common first.
constexpr std::array<FormatClass, 3> FormatClasses{{
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

TWaveFormatEx PcmFormat(double Rate, int Channels, int Bits)
{
    TWaveFormatEx Format{};
    Format.wFormatTag = WaveFormatPcm;
    Format.nChannels = static_cast<std::uint16_t>(Channels);
    Format.nSamplesPerSec = static_cast<std::uint32_t>(Rate);
    Format.wBitsPerSample = static_cast<std::uint16_t>(Bits);
    Format.nBlockAlign = static_cast<std::uint16_t>(Channels * Bits / 8);
    Format.nAvgBytesPerSec = Format.nBlockAlign * Format.nSamplesPerSec;
    return Format;
}

bool Supports(const PortAudioBackend::TDevice& Device, WaveDirection Direction,
              const TWaveFormatEx& Format)
{
    const PaStreamParameters Parameters = StreamParameters(Device, Direction, Format);
    const bool Capture = Direction == WaveDirection::Capture;
    return Pa_IsFormatSupported(Capture ? &Parameters : nullptr, Capture ? nullptr : &Parameters,
                                Format.nSamplesPerSec) == paFormatIsSupported;
}

} // namespace

PaStreamParameters StreamParameters(const PortAudioBackend::TDevice& Device,
                                    WaveDirection Direction, const TWaveFormatEx& Format)
{
    PaStreamParameters Parameters{};
    Parameters.device = Device.Index;
    Parameters.channelCount = Format.nChannels;
    Parameters.sampleFormat = Format.wBitsPerSample == 8 ? paUInt8 : paInt16;
    if (Device.Index == paUseHostApiSpecificDeviceSpecification)
    {
        Parameters.hostApiSpecificStreamInfo = const_cast<PaAlsaStreamInfo*>(&Device.Alsa);
        Parameters.suggestedLatency = NamedDeviceLatency();
        return Parameters;
    }
    const PaDeviceInfo* Info = Pa_GetDeviceInfo(Device.Index);
    Parameters.suggestedLatency = Direction == WaveDirection::Capture
                                      ? Info->defaultLowInputLatency
                                      : Info->defaultLowOutputLatency;
    return Parameters;
}

TWaveResult ResultOf(PaError Error, bool Opening)
{
    switch (Error)
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
        return Opening ? wrOpenFailed : wrError;
    }
}

std::shared_ptr<PortAudioBackend> PortAudioBackend::Instance()
{
    static const std::shared_ptr<PortAudioBackend> Backend(new PortAudioBackend());
    return Backend;
}

PortAudioBackend::PortAudioBackend()
{
    QuietAudioLibraries();
    Initialised = Pa_Initialize() == paNoError;
    if (!Initialised)
    {
        return;
    }
    for (PaDeviceIndex Index = 0; Index < Pa_GetDeviceCount(); ++Index)
    {
        const PaDeviceInfo* Info = Pa_GetDeviceInfo(Index);
        if (Info != nullptr && Info->maxInputChannels > 0)
        {
            CaptureDevices.push_back({Index, Info->name, Info->maxInputChannels});
        }
        if (Info != nullptr && Info->maxOutputChannels > 0)
        {
            PlaybackDevices.push_back({Index, Info->name, Info->maxOutputChannels});
        }
    }
    AddUnlistedAlsaDevices();
}

void PortAudioBackend::AddUnlistedAlsaDevices()
{
    const PaHostApiIndex Alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    if (Alsa < 0)
    {
        return;
    }
    std::vector<std::string> Listed;
    for (PaDeviceIndex Index = 0; Index < Pa_GetDeviceCount(); ++Index)
    {
        const PaDeviceInfo* Info = Pa_GetDeviceInfo(Index);
        if (Info != nullptr && Info->hostApi == Alsa)
        {
            Listed.emplace_back(Info->name);
        }
    }
    for (const TAlsaDevice& Found : UnlistedAlsaDevices(Listed))
    {
        TDevice Device{paUseHostApiSpecificDeviceSpecification, Found.Name};
        PaAlsa_InitializeStreamInfo(&Device.Alsa);
        if (Found.CaptureChannels > 0)
        {
            Device.Channels = Found.CaptureChannels;
            CaptureDevices.push_back(Device);
        }
        if (Found.PlaybackChannels > 0)
        {
            Device.Channels = Found.PlaybackChannels;
            PlaybackDevices.push_back(Device);
        }
    }
    // The devices stay where they are from now on: each points PortAudio at its own name.
    for (auto* List : {&CaptureDevices, &PlaybackDevices})
    {
        for (TDevice& Device : *List)
        {
            Device.Alsa.deviceString = Device.Name.c_str();
        }
    }
}

PortAudioBackend::~PortAudioBackend()
{
    if (Initialised)
    {
        Pa_Terminate();
    }
}

int PortAudioBackend::DeviceCount(WaveDirection Direction)
{
    return static_cast<int>(Devices(Direction).size());
}

TWaveResult PortAudioBackend::GetCaps(WaveDirection Direction, int DeviceId, TWaveCaps& Caps)
{
    std::lock_guard Guard(Lock);
    const TDevice* Device = Resolve(Direction, DeviceId);
    if (Device == nullptr)
    {
        return wrBadDeviceId;
    }
    Caps = TWaveCaps{};
    CopyDeviceName(Device->Name.c_str(), Caps);
    const int Version = Pa_GetVersion();
    Caps.vDriverVersion =
        static_cast<std::uint32_t>(((Version >> 16) & 0xFF) << 8 | ((Version >> 8) & 0xFF));
    Caps.wChannels = Device->Channels >= 2 ? 2 : 1;
    Caps.dwFormats = FormatMask(Direction, *Device);
    return wrNoError;
}

TWaveResult PortAudioBackend::QueryFormat(WaveDirection Direction, int DeviceId,
                                          const TWaveFormatEx& Format)
{
    std::lock_guard Guard(Lock);
    const TDevice* Device = Resolve(Direction, DeviceId);
    if (Device == nullptr)
    {
        return wrBadDeviceId;
    }
    return Supports(*Device, Direction, Format) ? wrNoError : wrBadFormat;
}

TWaveResult PortAudioBackend::Open(WaveDirection Direction, int DeviceId, WaveDevice& Device,
                                   std::unique_ptr<WaveEngine>& Engine)
{
    std::lock_guard Guard(Lock);
    const TDevice* Card = Resolve(Direction, DeviceId);
    if (Card == nullptr)
    {
        return wrBadDeviceId;
    }
    auto Opened = std::make_unique<PortAudioEngine>(Device);
    const TWaveResult Result = Opened->Open(StreamParameters(*Card, Direction, Device.Format()));
    if (Result == wrNoError)
    {
        Engine = std::move(Opened);
    }
    return Result;
}

std::uint32_t PortAudioBackend::DefaultRate(WaveDirection Direction, int DeviceId)
{
    std::lock_guard Guard(Lock);
    const TDevice* Device = Resolve(Direction, DeviceId);
    const PaDeviceInfo* Info = Device == nullptr ? nullptr : Pa_GetDeviceInfo(Device->Index);
    return Info == nullptr ? 0 : static_cast<std::uint32_t>(Info->defaultSampleRate);
}

double PortAudioBackend::BlockSeconds(WaveDirection Direction, int DeviceId)
{
    std::lock_guard Guard(Lock);
    const TDevice* Device = Resolve(Direction, DeviceId);
    const PaDeviceInfo* Info = Device == nullptr ? nullptr : Pa_GetDeviceInfo(Device->Index);
    if (Info == nullptr)
        return 0;
    return Direction == WaveDirection::Capture ? Info->defaultLowInputLatency
                                               : Info->defaultLowOutputLatency;
}

const std::vector<PortAudioBackend::TDevice>&
PortAudioBackend::Devices(WaveDirection Direction) const
{
    return Direction == WaveDirection::Capture ? CaptureDevices : PlaybackDevices;
}

const PortAudioBackend::TDevice* PortAudioBackend::Resolve(WaveDirection Direction,
                                                           int DeviceId) const
{
    const auto& List = Devices(Direction);
    if (DeviceId != WaveMapperId)
    {
        const auto Index = static_cast<std::size_t>(DeviceId);
        return DeviceId >= 0 && Index < List.size() ? &List[Index] : nullptr;
    }
    const PaDeviceIndex Default = Direction == WaveDirection::Capture ? Pa_GetDefaultInputDevice()
                                                                      : Pa_GetDefaultOutputDevice();
    const auto Found = std::find_if(List.begin(), List.end(),
                                    [&](const TDevice& Device) { return Device.Index == Default; });
    if (Found != List.end())
        return &*Found;
    return List.empty() ? nullptr : &List.front();
}

std::uint32_t PortAudioBackend::FormatMask(WaveDirection Direction, const TDevice& Device)
{
    if (const auto Known = Masks.find(&Device); Known != Masks.end())
    {
        return Known->second;
    }
    const int MaxChannels = Device.Channels;
    std::uint32_t Mask = 0;
    for (const FormatClass& Class : FormatClasses)
    {
        for (int Channels = 1; Channels <= std::min(MaxChannels, 2); ++Channels)
        {
            for (int Bits : {8, 16})
            {
                // Bit order within a class: mono 8, stereo 8, mono 16, stereo 16.
                const std::uint32_t Bit = Class.Mono8 << ((Channels - 1) + (Bits == 16 ? 2 : 0));
                for (double Rate : Class.Rates)
                {
                    if (Rate > 0 && Supports(Device, Direction, PcmFormat(Rate, Channels, Bits)))
                    {
                        Mask |= Bit;
                        break;
                    }
                }
            }
        }
    }
    Masks.emplace(&Device, Mask);
    return Mask;
}

} // namespace keb
