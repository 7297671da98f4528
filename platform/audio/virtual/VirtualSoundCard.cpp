// Part of the virtual sound card (VirtualSoundCard.h): the card, its devices and
// its clock.
#include "platform/audio/virtual/VirtualSoundCard.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/virtual/LoopbackQueue.h"
#include "platform/audio/virtual/VirtualEngine.h"

#include <algorithm>

namespace keb
{

namespace
{

constexpr auto ClockPeriod = std::chrono::milliseconds(5);
constexpr std::uint32_t VirtualDriverVersion = 0x0100;
constexpr std::uint32_t AllStandardFormats = 0x0FFF;

// The capability bits of the rate class Rate belongs to (see WaveAudio.h).
std::uint32_t FormatsOfRate(std::uint32_t Rate)
{
    switch (Rate)
    {
    case 8000:
    case 11025:
        return AllStandardFormats & 0x00F;
    case 16000:
    case 22050:
        return AllStandardFormats & 0x0F0;
    case 32000:
    case 44100:
    case 48000:
        return AllStandardFormats & 0xF00;
    default:
        return 0;
    }
}

// The capability bits of the channel counts the device takes.
std::uint32_t FormatsOfChannels(std::uint16_t Channels)
{
    constexpr std::uint32_t Mono = 0x555; // WaveFormat?M?? of every class
    switch (Channels)
    {
    case 1:
        return Mono;
    case 2:
        return Mono << 1;
    default:
        return AllStandardFormats;
    }
}

bool Refuses(const VirtualDevice& Device, const TWaveFormatEx& Format)
{
    const std::uint32_t Rate = Device.OnlyRate();
    const std::uint16_t Channels = Device.OnlyChannels();
    return (Rate != 0 && Format.nSamplesPerSec != Rate) ||
           (Channels != 0 && Format.nChannels != Channels);
}

} // namespace

VirtualDevice::VirtualDevice(std::string Name, WaveDirection Direction)
    : Name_(std::move(Name)), Direction_(Direction)
{
}

void VirtualDevice::Vanish()
{
    Card->Vanish(*this);
}

std::shared_ptr<VirtualSoundCard> VirtualSoundCard::Create(VirtualClock Clock)
{
    return std::shared_ptr<VirtualSoundCard>(new VirtualSoundCard(Clock));
}

VirtualSoundCard::VirtualSoundCard(VirtualClock Clock)
{
    if (Clock == VirtualClock::RealTime)
    {
        ClockThread = std::thread([this] { RunClock(); });
    }
}

VirtualSoundCard::~VirtualSoundCard()
{
    {
        std::lock_guard Guard(ClockLock);
        ClockStopping = true;
    }
    ClockWake.notify_all();
    if (ClockThread.joinable())
    {
        ClockThread.join();
    }
}

int VirtualSoundCard::AddCaptureDevice(std::string Name, std::unique_ptr<VirtualSource> Source)
{
    auto Device = std::make_unique<VirtualDevice>(std::move(Name), WaveDirection::Capture);
    Device->Card = this;
    Device->Source = std::move(Source);
    CaptureDevices.push_back(std::move(Device));
    return static_cast<int>(CaptureDevices.size()) - 1;
}

int VirtualSoundCard::AddLoopbackCaptureDevice(std::string Name, int PlaybackId)
{
    VirtualDevice& Played = Playback(PlaybackId);
    if (!Played.Loopback)
    {
        Played.Loopback = std::make_shared<LoopbackQueue>();
    }
    return AddCaptureDevice(std::move(Name), MakeLoopbackSource(Played.Loopback));
}

int VirtualSoundCard::AddPlaybackDevice(std::string Name, std::shared_ptr<VirtualSink> Sink)
{
    auto Device = std::make_unique<VirtualDevice>(std::move(Name), WaveDirection::Playback);
    Device->Card = this;
    Device->Sink = std::move(Sink);
    PlaybackDevices.push_back(std::move(Device));
    return static_cast<int>(PlaybackDevices.size()) - 1;
}

VirtualDevice& VirtualSoundCard::Capture(int DeviceId)
{
    return Find(WaveDirection::Capture, DeviceId);
}

VirtualDevice& VirtualSoundCard::Playback(int DeviceId)
{
    return Find(WaveDirection::Playback, DeviceId);
}

void VirtualSoundCard::Advance(std::chrono::microseconds Time)
{
    Tick(static_cast<std::uint64_t>(std::max<std::int64_t>(Time.count(), 0)), 0);
}

void VirtualSoundCard::AdvanceMilliseconds(std::uint32_t Milliseconds)
{
    Tick(std::uint64_t{Milliseconds} * 1000, 0);
}

void VirtualSoundCard::AdvanceFrames(std::uint64_t Frames)
{
    Tick(0, Frames);
}

int VirtualSoundCard::DeviceCount(WaveDirection Direction)
{
    return static_cast<int>(Devices(Direction).size());
}

TWaveResult VirtualSoundCard::GetCaps(WaveDirection Direction, int DeviceId, TWaveCaps& Caps)
{
    const VirtualDevice& Device = Find(Direction, DeviceId);
    Caps = TWaveCaps{};
    CopyDeviceName(Device.Name().c_str(), Caps);
    Caps.vDriverVersion = VirtualDriverVersion;
    Caps.dwFormats =
        (Device.OnlyRate() == 0 ? AllStandardFormats : FormatsOfRate(Device.OnlyRate())) &
        FormatsOfChannels(Device.OnlyChannels());
    Caps.wChannels = Device.OnlyChannels() == 1 ? 1 : 2;
    return wrNoError;
}

TWaveResult VirtualSoundCard::QueryFormat(WaveDirection Direction, int DeviceId,
                                          const TWaveFormatEx& Format)
{
    const VirtualDevice& Device = Find(Direction, DeviceId);
    if (Device.Vanished)
    {
        return wrDeviceRemoved;
    }
    return Refuses(Device, Format) ? wrBadFormat : wrNoError;
}

std::uint32_t VirtualSoundCard::DefaultRate(WaveDirection Direction, int DeviceId)
{
    return Find(Direction, DeviceId).OnlyRate();
}

double VirtualSoundCard::BlockSeconds(WaveDirection Direction, int DeviceId)
{
    return Find(Direction, DeviceId).BlockSeconds();
}

TWaveResult VirtualSoundCard::Open(WaveDirection Direction, int DeviceId, WaveDevice& Device,
                                   std::unique_ptr<WaveEngine>& Engine)
{
    VirtualDevice& Entry = Find(Direction, DeviceId);
    std::lock_guard Guard(Lock);
    if (Entry.Vanished)
    {
        return wrDeviceRemoved;
    }
    if (const TWaveResult Fault = Entry.OpenFault; Fault != wrNoError)
    {
        return Fault;
    }
    if (Entry.OpenEngine != nullptr)
    {
        return wrAllocated;
    }
    const TWaveFormatEx& Format = Device.Format();
    if (Refuses(Entry, Format))
    {
        return wrBadFormat;
    }
    // A detail an earlier open left (one retried at another rate) is not
    // this open's.
    SetWaveErrorDetail(wrNoError, {});
    const TWaveResult Result =
        Direction == WaveDirection::Capture ? Entry.Source->Open(Format) : Entry.Sink->Open(Format);
    if (Result != wrNoError)
    {
        return Result;
    }
    if (Entry.Loopback)
    {
        Entry.Loopback->Reset(Format.nAvgBytesPerSec);
    }
    auto Opened = std::make_unique<VirtualEngine>(shared_from_this(), Entry, Device);
    Entry.OpenEngine = Opened.get();
    Engines.push_back(Opened.get());
    Engine = std::move(Opened);
    return wrNoError;
}

std::vector<std::unique_ptr<VirtualDevice>>& VirtualSoundCard::Devices(WaveDirection Direction)
{
    return Direction == WaveDirection::Capture ? CaptureDevices : PlaybackDevices;
}

VirtualDevice& VirtualSoundCard::Find(WaveDirection Direction, int DeviceId)
{
    auto& List = Devices(Direction);
    return *List.at(DeviceId == WaveMapperId ? 0 : static_cast<std::size_t>(DeviceId));
}

void VirtualSoundCard::Tick(std::uint64_t Microseconds, std::uint64_t Frames)
{
    std::lock_guard Guard(Lock);
    for (const WaveDirection Direction : {WaveDirection::Playback, WaveDirection::Capture})
    {
        for (VirtualEngine* Engine : Engines)
        {
            if (Engine->Direction() == Direction)
            {
                Engine->Advance(Microseconds, Frames);
            }
        }
    }
}

void VirtualSoundCard::RunClock()
{
    using Clock = std::chrono::steady_clock;
    auto Last = Clock::now();
    std::unique_lock Guard(ClockLock);
    while (!ClockWake.wait_for(Guard, ClockPeriod, [this] { return ClockStopping; }))
    {
        Guard.unlock();
        const auto Elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - Last);
        Last += Elapsed;
        Advance(Elapsed);
        Guard.lock();
    }
}

void VirtualSoundCard::Vanish(VirtualDevice& Device)
{
    std::lock_guard Guard(Lock);
    Device.Vanished = true;
    if (Device.OpenEngine != nullptr)
    {
        Device.OpenEngine->Fail(wrDeviceRemoved);
    }
}

void VirtualSoundCard::Detach(VirtualEngine& Engine)
{
    std::lock_guard Guard(Lock);
    Engines.erase(std::remove(Engines.begin(), Engines.end(), &Engine), Engines.end());
    Engine.CloseEntry();
}

} // namespace keb
