#include "platform/audio/virtual/VirtualEngine.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/virtual/LoopbackQueue.h"

#include <algorithm>

namespace keb
{

namespace
{

constexpr std::uint64_t MicroFramesPerFrame = 1'000'000;
constexpr std::size_t ScratchFrames = 1024;

} // namespace

VirtualEngine::VirtualEngine(std::shared_ptr<VirtualSoundCard> OwnerCard, VirtualDevice& OpenEntry,
                             WaveDevice& OpenDevice)
    : Card(std::move(OwnerCard)), Entry(OpenEntry), Device(OpenDevice), Format(OpenDevice.Format()),
      Scratch(ScratchFrames * Format.nBlockAlign)
{
}

VirtualEngine::~VirtualEngine()
{
    Card->Detach(*this);
}

TWaveResult VirtualEngine::Start()
{
    std::lock_guard Guard(Card->Lock);
    Active = true;
    DueMicroFrames = 0;
    Silence.Restart();
    return wrNoError;
}

TWaveResult VirtualEngine::Stop(bool)
{
    std::lock_guard Guard(Card->Lock);
    Active = false;
    return wrNoError;
}

TWaveResult VirtualEngine::QueueResult() const
{
    return Entry.QueueFault;
}

bool VirtualEngine::SendsClosedNotification() const
{
    return !Entry.ClosedLost;
}

WaveDirection VirtualEngine::Direction() const
{
    return Entry.Direction();
}

void VirtualEngine::Advance(std::uint64_t Microseconds, std::uint64_t Frames)
{
    if (!Active)
    {
        return;
    }
    DueMicroFrames += Microseconds * Format.nSamplesPerSec + Frames * MicroFramesPerFrame;
    const std::uint64_t Due = DueMicroFrames / MicroFramesPerFrame;
    DueMicroFrames -= Due * MicroFramesPerFrame;
    // A stalled card lets the time pass without moving audio, and does not
    // catch up afterwards.
    if (!Entry.Stalled)
    {
        Move(static_cast<std::size_t>(Due));
        Silence.Beat();
    }
    const auto Time = std::chrono::microseconds(Microseconds + Frames * MicroFramesPerFrame /
                                                                   Format.nSamplesPerSec);
    if (Silence.Elapse(Time))
    {
        Device.Fail(wrDeviceStalled);
    }
}

void VirtualEngine::Move(std::size_t Frames)
{
    while (Frames > 0)
    {
        const std::size_t Chunk = std::min(Frames, ScratchFrames);
        const std::size_t Bytes = Chunk * Format.nBlockAlign;
        if (Entry.Direction() == WaveDirection::Capture)
        {
            Entry.Source->Read(Scratch.data(), Bytes);
            Device.TransferCapture(Scratch.data(), Bytes);
        }
        else
        {
            Device.TransferPlayback(Scratch.data(), Bytes);
            Entry.Sink->Write(Scratch.data(), Bytes);
            if (Entry.Loopback)
            {
                Entry.Loopback->Write(Scratch.data(), Bytes);
            }
        }
        Frames -= Chunk;
    }
}

void VirtualEngine::Fail(TWaveResult Result)
{
    Device.Fail(Result);
}

void VirtualEngine::CloseEntry()
{
    if (Entry.Direction() == WaveDirection::Capture)
    {
        Entry.Source->Close();
    }
    else
    {
        Entry.Sink->Close();
    }
    Entry.OpenEngine = nullptr;
}

} // namespace keb
