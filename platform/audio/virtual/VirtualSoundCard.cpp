// Part of the virtual sound card (TVirtualSoundCard.h): the card, its devices and
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
std::uint32_t FormatsOfRate(std::uint32_t rate)
{
    switch (rate)
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
std::uint32_t FormatsOfChannels(std::uint16_t channels)
{
    constexpr std::uint32_t mono = 0x555; // WaveFormat?M?? of every class
    switch (channels)
    {
    case 1:
        return mono;
    case 2:
        return mono << 1;
    default:
        return AllStandardFormats;
    }
}

bool Refuses(const TVirtualDevice& device, const TWaveFormatEx& format)
{
    const std::uint32_t rate = device.OnlyRate();
    const std::uint16_t channels = device.OnlyChannels();
    return (rate != 0 && format.nSamplesPerSec != rate) ||
           (channels != 0 && format.nChannels != channels);
}

} // namespace

TVirtualDevice::TVirtualDevice(std::string name, TWaveDirection direction)
    : name_(std::move(name)), direction_(direction)
{
}

void TVirtualDevice::Vanish()
{
    card_->Vanish(*this);
}

std::shared_ptr<TVirtualSoundCard> TVirtualSoundCard::Create(TVirtualClock clock)
{
    return std::shared_ptr<TVirtualSoundCard>(new TVirtualSoundCard(clock));
}

TVirtualSoundCard::TVirtualSoundCard(TVirtualClock clock)
{
    if (clock == TVirtualClock::RealTime)
    {
        clockThread_ = std::thread([this] { RunClock(); });
    }
}

TVirtualSoundCard::~TVirtualSoundCard()
{
    {
        std::lock_guard guard(clockLock_);
        clockStopping_ = true;
    }
    clockWake_.notify_all();
    if (clockThread_.joinable())
    {
        clockThread_.join();
    }
}

int TVirtualSoundCard::AddCaptureDevice(std::string name, std::unique_ptr<TVirtualSource> source)
{
    auto device = std::make_unique<TVirtualDevice>(std::move(name), TWaveDirection::Capture);
    device->card_ = this;
    device->source_ = std::move(source);
    captureDevices_.push_back(std::move(device));
    return static_cast<int>(captureDevices_.size()) - 1;
}

int TVirtualSoundCard::AddLoopbackCaptureDevice(std::string name, int playbackId)
{
    TVirtualDevice& played = Playback(playbackId);
    if (!played.loopback_)
    {
        played.loopback_ = std::make_shared<TLoopbackQueue>();
    }
    return AddCaptureDevice(std::move(name), MakeLoopbackSource(played.loopback_));
}

int TVirtualSoundCard::AddPlaybackDevice(std::string name, std::shared_ptr<TVirtualSink> sink)
{
    auto device = std::make_unique<TVirtualDevice>(std::move(name), TWaveDirection::Playback);
    device->card_ = this;
    device->sink_ = std::move(sink);
    playbackDevices_.push_back(std::move(device));
    return static_cast<int>(playbackDevices_.size()) - 1;
}

TVirtualDevice& TVirtualSoundCard::Capture(int deviceId)
{
    return Find(TWaveDirection::Capture, deviceId);
}

TVirtualDevice& TVirtualSoundCard::Playback(int deviceId)
{
    return Find(TWaveDirection::Playback, deviceId);
}

void TVirtualSoundCard::Advance(std::chrono::microseconds time)
{
    Tick(static_cast<std::uint64_t>(std::max<std::int64_t>(time.count(), 0)), 0);
}

void TVirtualSoundCard::AdvanceMilliseconds(std::uint32_t milliseconds)
{
    Tick(std::uint64_t{milliseconds} * 1000, 0);
}

void TVirtualSoundCard::AdvanceFrames(std::uint64_t frames)
{
    Tick(0, frames);
}

int TVirtualSoundCard::DeviceCount(TWaveDirection direction)
{
    return static_cast<int>(Devices(direction).size());
}

TWaveResult TVirtualSoundCard::GetCaps(TWaveDirection direction, int deviceId, TWaveCaps& caps)
{
    const TVirtualDevice& device = Find(direction, deviceId);
    caps = TWaveCaps{};
    CopyDeviceName(device.Name().c_str(), caps);
    caps.vDriverVersion = VirtualDriverVersion;
    caps.dwFormats =
        (device.OnlyRate() == 0 ? AllStandardFormats : FormatsOfRate(device.OnlyRate())) &
        FormatsOfChannels(device.OnlyChannels());
    caps.wChannels = device.OnlyChannels() == 1 ? 1 : 2;
    return wrNoError;
}

TWaveResult TVirtualSoundCard::QueryFormat(TWaveDirection direction, int deviceId,
                                           const TWaveFormatEx& format)
{
    const TVirtualDevice& device = Find(direction, deviceId);
    if (device.vanished_)
    {
        return wrDeviceRemoved;
    }
    return Refuses(device, format) ? wrBadFormat : wrNoError;
}

std::uint32_t TVirtualSoundCard::DefaultRate(TWaveDirection direction, int deviceId)
{
    return Find(direction, deviceId).OnlyRate();
}

double TVirtualSoundCard::BlockSeconds(TWaveDirection direction, int deviceId)
{
    return Find(direction, deviceId).BlockSeconds();
}

TWaveResult TVirtualSoundCard::Open(TWaveDirection direction, int deviceId, TWaveDevice& device,
                                    std::unique_ptr<TWaveEngine>& engine)
{
    TVirtualDevice& entry = Find(direction, deviceId);
    std::lock_guard guard(lock_);
    if (entry.vanished_)
    {
        return wrDeviceRemoved;
    }
    if (const TWaveResult fault = entry.openFault_; fault != wrNoError)
    {
        return fault;
    }
    if (entry.openEngine_ != nullptr)
    {
        return wrAllocated;
    }
    const TWaveFormatEx& format = device.Format();
    if (Refuses(entry, format))
    {
        return wrBadFormat;
    }
    // A detail an earlier open left (one retried at another rate) is not
    // this open's.
    SetWaveErrorDetail(wrNoError, {});
    const TWaveResult result = direction == TWaveDirection::Capture ? entry.source_->Open(format)
                                                                    : entry.sink_->Open(format);
    if (result != wrNoError)
    {
        return result;
    }
    if (entry.loopback_)
    {
        entry.loopback_->Reset(format.nAvgBytesPerSec);
    }
    auto opened = std::make_unique<TVirtualEngine>(shared_from_this(), entry, device);
    entry.openEngine_ = opened.get();
    engines_.push_back(opened.get());
    engine = std::move(opened);
    return wrNoError;
}

std::vector<std::unique_ptr<TVirtualDevice>>& TVirtualSoundCard::Devices(TWaveDirection direction)
{
    return direction == TWaveDirection::Capture ? captureDevices_ : playbackDevices_;
}

TVirtualDevice& TVirtualSoundCard::Find(TWaveDirection direction, int deviceId)
{
    auto& list = Devices(direction);
    return *list.at(deviceId == WaveMapperId ? 0 : static_cast<std::size_t>(deviceId));
}

void TVirtualSoundCard::Tick(std::uint64_t microseconds, std::uint64_t frames)
{
    std::lock_guard guard(lock_);
    for (const TWaveDirection direction : {TWaveDirection::Playback, TWaveDirection::Capture})
    {
        for (TVirtualEngine* engine : engines_)
        {
            if (engine->Direction() == direction)
            {
                engine->Advance(microseconds, frames);
            }
        }
    }
}

void TVirtualSoundCard::RunClock()
{
    using Clock = std::chrono::steady_clock;
    auto last = Clock::now();
    std::unique_lock guard(clockLock_);
    while (!clockWake_.wait_for(guard, ClockPeriod, [this] { return clockStopping_; }))
    {
        guard.unlock();
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - last);
        last += elapsed;
        Advance(elapsed);
        guard.lock();
    }
}

void TVirtualSoundCard::Vanish(TVirtualDevice& device)
{
    std::lock_guard guard(lock_);
    device.vanished_ = true;
    if (device.openEngine_ != nullptr)
    {
        device.openEngine_->Fail(wrDeviceRemoved);
    }
}

void TVirtualSoundCard::Detach(TVirtualEngine& engine)
{
    std::lock_guard guard(lock_);
    engines_.erase(std::remove(engines_.begin(), engines_.end(), &engine), engines_.end());
    engine.CloseEntry();
}

} // namespace keb
