#include "ChainRig.h"

#include "platform/core/MainLoop.h"
#include "stream/MMWaveFormat.h"

namespace keb::test
{
namespace
{
// Frames a device of this rate has moved after Time microseconds of card time.
std::int64_t FramesAt(std::int64_t Time, std::int32_t Rate)
{
    return Time * Rate / 1000000;
}

// The first card time at which a device of this rate has moved Frames frames.
std::int64_t TimeOfFrame(std::int64_t Frames, std::int32_t Rate)
{
    return (Frames * 1000000 + Rate - 1) / Rate;
}

bool WaitUntil(const std::function<bool()>& Done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        WaitAndProcessMessages(1);
    }
    return true;
}
} // namespace

void TPushProbe::InputFormatChanged(const TWaveFormatEx* Format)
{
    if (!Format || AnnouncedRate == 0)
    {
        TMMDSPComponent::InputFormatChanged(Format);
        return;
    }
    TWaveFormatEx announced = *Format;
    announced.nSamplesPerSec = static_cast<std::uint32_t>(AnnouncedRate);
    announced.nAvgBytesPerSec = static_cast<std::uint32_t>(AnnouncedRate) * announced.nBlockAlign;
    SetWaveFormat(&announced);
}

void TPushProbe::BufferReady(PWaveHdr lpWaveHdr)
{
    TMMDSPComponent::BufferReady(lpWaveHdr);
    ++Pushes;
}

void TPullProbe::ChainStarted()
{
    TMMDSPComponent::ChainStarted();
    if (OnStarted)
        OnStarted();
}

void TPullProbe::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    TMMDSPComponent::BufferLoad(lpWaveHdr, MoreBuffers);
    ++Pulls;
}

TChainRig::TCardSelection::TCardSelection(std::shared_ptr<TVirtualSoundCard> Card,
                                          std::shared_ptr<TMemorySink> Speaker,
                                          const TFrameSignal& Signal)
{
    auto frame = std::make_shared<std::uint64_t>(0);
    Card->AddCaptureDevice(
        "Receiver", MakeGeneratorSource(
                        [frame, Signal](std::uint8_t* Data, std::size_t Bytes, const TWaveFormatEx&)
                        {
                            for (std::size_t i = 0; i + 1 < Bytes; i += 2)
                            {
                                const auto sample = static_cast<std::uint16_t>(Signal((*frame)++));
                                Data[i] = static_cast<std::uint8_t>(sample & 0xFF);
                                Data[i + 1] = static_cast<std::uint8_t>(sample >> 8);
                            }
                        }));
    Card->AddPlaybackDevice("Speaker", std::move(Speaker));
    UseVirtualSoundCard(std::move(Card));
}

TChainRig::TCardSelection::~TCardSelection()
{
    UseVirtualSoundCard(nullptr);
}

TChainRig::TChainRig(const TChainSettings& Settings, TFrameSignal Signal)
    : Card(TVirtualSoundCard::Create(TVirtualClock::Stepped)),
      Speaker(std::make_shared<TMemorySink>()), selection_(Card, Speaker, Signal), Capture(nullptr),
      PushProbe(nullptr), Ring(nullptr), PullProbe(nullptr), Playback(nullptr), settings_(Settings)
{
    Capture.SetSampleRate(Settings.CaptureRate);
    Capture.SetBitLength(b16Bit);
    Capture.SetMode(mMono);
    Capture.SetBufferSize(Settings.BufferBytes);
    Capture.SetNumBuffers(Settings.NumBuffers);
    Capture.SetCallBackMode(cmThread);
    Ring.SetBufferSize(Settings.BufferBytes);
    Ring.SetNumBuffers(Settings.Slots);
    Ring.SetQueueMode(qmDuplex);
    Ring.SetWaitIfFull(true);
    Ring.SetTimeOut(1);
    Playback.SetBufferSize(Settings.BufferBytes);
    Playback.SetNumBuffers(Settings.NumBuffers);
    Playback.SetCallBackMode(cmThread);
    PushProbe.AnnouncedRate = Settings.PlaybackRate;

    Capture.SetOutput(&PushProbe);
    PushProbe.SetOutput(&Ring);
    Ring.SetOutput(&PullProbe);
    PullProbe.SetOutput(&Playback);
}

TChainRig::~TChainRig()
{
    SwitchOff();
}

void TChainRig::SwitchOn()
{
    cardTime_ = 0;
    PushProbe.Pushes = 0;
    PullProbe.Pulls = 0;
    // Runs inside the capture device's start relay: the capture driver runs
    // already, the playback device has not written its first buffer yet.
    PullProbe.OnStarted = [this] { Advance(settings_.PlaybackLag.count()); };
    Capture.Start();
    Playback.Start();
    PullProbe.OnStarted = nullptr;
    playbackStartFrame_ = FramesAt(cardTime_, settings_.PlaybackRate);
    initialPulls_ = PullProbe.Pulls.load();
}

void TChainRig::SwitchOff()
{
    Capture.Close();
    Playback.Close();
    WaitUntil([this] { return Capture.State() == wsClosed && Playback.State() == wsClosed; });
}

std::int64_t TChainRig::CaptureBoundary(std::uint64_t n) const
{
    return TimeOfFrame(static_cast<std::int64_t>(n) * BufferFrames(), settings_.CaptureRate);
}

std::int64_t TChainRig::PlaybackBoundary(std::uint64_t n) const
{
    return TimeOfFrame(playbackStartFrame_ + static_cast<std::int64_t>(n) * BufferFrames(),
                       settings_.PlaybackRate);
}

std::uint64_t TChainRig::PlayedBuffers() const
{
    return PullProbe.Pulls.load() - initialPulls_;
}

void TChainRig::Advance(std::int64_t Time)
{
    Card->Advance(std::chrono::microseconds(Time - cardTime_));
    cardTime_ = Time;
}

bool TChainRig::AwaitWorkers() const
{
    const auto captured =
        static_cast<std::uint64_t>(FramesAt(cardTime_, settings_.CaptureRate) / BufferFrames());
    const std::int64_t playedFrames =
        FramesAt(cardTime_, settings_.PlaybackRate) - playbackStartFrame_;
    const auto played = static_cast<std::uint64_t>(playedFrames / BufferFrames());
    return WaitUntil([&] { return CapturedBuffers() == captured && PlayedBuffers() == played; });
}

bool TChainRig::Run(std::chrono::microseconds Time)
{
    const std::int64_t end = cardTime_ + Time.count();
    while (cardTime_ < end)
    {
        const std::int64_t next = std::min(
            {CaptureBoundary(CapturedBuffers() + 1), PlaybackBoundary(PlayedBuffers() + 1), end});
        Advance(next);
        if (!AwaitWorkers())
            return false;
    }
    return true;
}

std::vector<std::int16_t> TChainRig::Played() const
{
    return Speaker->Samples16();
}

} // namespace keb::test
