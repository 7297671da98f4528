#include "platform/audio/portaudio/PortAudioBackend.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/portaudio/AudioLibraryMessages.h"
#include "platform/audio/portaudio/PortAudioEngine.h"

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

bool Supports(PaDeviceIndex Index, WaveDirection Direction, const TWaveFormatEx& Format)
{
    const PaStreamParameters Parameters = StreamParameters(Index, Direction, Format);
    const bool Capture = Direction == WaveDirection::Capture;
    return Pa_IsFormatSupported(Capture ? &Parameters : nullptr, Capture ? nullptr : &Parameters,
                                Format.nSamplesPerSec) == paFormatIsSupported;
}

int ChannelsOf(const PaDeviceInfo& Info, WaveDirection Direction)
{
    return Direction == WaveDirection::Capture ? Info.maxInputChannels : Info.maxOutputChannels;
}

} // namespace

PaStreamParameters StreamParameters(PaDeviceIndex Index, WaveDirection Direction,
                                    const TWaveFormatEx& Format)
{
    const PaDeviceInfo* Info = Pa_GetDeviceInfo(Index);
    PaStreamParameters Parameters{};
    Parameters.device = Index;
    Parameters.channelCount = Format.nChannels;
    Parameters.sampleFormat = Format.wBitsPerSample == 8 ? paUInt8 : paInt16;
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
            CaptureDevices.push_back(Index);
        }
        if (Info != nullptr && Info->maxOutputChannels > 0)
        {
            PlaybackDevices.push_back(Index);
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
    const PaDeviceIndex Index = Resolve(Direction, DeviceId);
    const PaDeviceInfo* Info = Pa_GetDeviceInfo(Index);
    if (Info == nullptr)
    {
        return wrBadDeviceId;
    }
    Caps = TWaveCaps{};
    CopyDeviceName(Info->name, Caps);
    const int Version = Pa_GetVersion();
    Caps.vDriverVersion =
        static_cast<std::uint32_t>(((Version >> 16) & 0xFF) << 8 | ((Version >> 8) & 0xFF));
    Caps.wChannels = ChannelsOf(*Info, Direction) >= 2 ? 2 : 1;
    Caps.dwFormats = FormatMask(Direction, Index);
    return wrNoError;
}

TWaveResult PortAudioBackend::QueryFormat(WaveDirection Direction, int DeviceId,
                                          const TWaveFormatEx& Format)
{
    std::lock_guard Guard(Lock);
    const PaDeviceIndex Index = Resolve(Direction, DeviceId);
    if (Pa_GetDeviceInfo(Index) == nullptr)
    {
        return wrBadDeviceId;
    }
    return Supports(Index, Direction, Format) ? wrNoError : wrBadFormat;
}

TWaveResult PortAudioBackend::Open(WaveDirection Direction, int DeviceId, WaveDevice& Device,
                                   std::unique_ptr<WaveEngine>& Engine)
{
    std::lock_guard Guard(Lock);
    const PaDeviceIndex Index = Resolve(Direction, DeviceId);
    if (Pa_GetDeviceInfo(Index) == nullptr)
    {
        return wrBadDeviceId;
    }
    auto Opened = std::make_unique<PortAudioEngine>(Device);
    const TWaveResult Result = Opened->Open(StreamParameters(Index, Direction, Device.Format()));
    if (Result == wrNoError)
    {
        Engine = std::move(Opened);
    }
    return Result;
}

std::uint32_t PortAudioBackend::DefaultRate(WaveDirection Direction, int DeviceId)
{
    std::lock_guard Guard(Lock);
    const PaDeviceInfo* Info = Pa_GetDeviceInfo(Resolve(Direction, DeviceId));
    return Info == nullptr ? 0 : static_cast<std::uint32_t>(Info->defaultSampleRate);
}

double PortAudioBackend::BlockSeconds(WaveDirection Direction, int DeviceId)
{
    std::lock_guard Guard(Lock);
    const PaDeviceInfo* Info = Pa_GetDeviceInfo(Resolve(Direction, DeviceId));
    if (Info == nullptr)
        return 0;
    return Direction == WaveDirection::Capture ? Info->defaultLowInputLatency
                                               : Info->defaultLowOutputLatency;
}

const std::vector<PaDeviceIndex>& PortAudioBackend::Devices(WaveDirection Direction) const
{
    return Direction == WaveDirection::Capture ? CaptureDevices : PlaybackDevices;
}

PaDeviceIndex PortAudioBackend::Resolve(WaveDirection Direction, int DeviceId) const
{
    const auto& List = Devices(Direction);
    if (DeviceId != WaveMapperId)
    {
        return List.at(static_cast<std::size_t>(DeviceId));
    }
    const PaDeviceIndex Default = Direction == WaveDirection::Capture ? Pa_GetDefaultInputDevice()
                                                                      : Pa_GetDefaultOutputDevice();
    return Default != paNoDevice ? Default : List.front();
}

std::uint32_t PortAudioBackend::FormatMask(WaveDirection Direction, PaDeviceIndex Index)
{
    auto& Masks = Direction == WaveDirection::Capture ? CaptureMasks : PlaybackMasks;
    if (const auto Known = Masks.find(Index); Known != Masks.end())
    {
        return Known->second;
    }
    const int MaxChannels = ChannelsOf(*Pa_GetDeviceInfo(Index), Direction);
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
                    if (Rate > 0 && Supports(Index, Direction, PcmFormat(Rate, Channels, Bits)))
                    {
                        Mask |= Bit;
                        break;
                    }
                }
            }
        }
    }
    Masks.emplace(Index, Mask);
    return Mask;
}

} // namespace keb
