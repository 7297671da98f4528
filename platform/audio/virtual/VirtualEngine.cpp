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

TVirtualEngine::TVirtualEngine(std::shared_ptr<TVirtualSoundCard> ownerCard,
                               TVirtualDevice& openEntry, TWaveDevice& openDevice)
    : card_(std::move(ownerCard)), entry_(openEntry), device_(openDevice),
      format_(openDevice.Format()), scratch_(ScratchFrames * format_.nBlockAlign)
{
}

TVirtualEngine::~TVirtualEngine()
{
    card_->Detach(*this);
}

TWaveResult TVirtualEngine::Start()
{
    std::lock_guard guard(card_->lock_);
    active_ = true;
    dueMicroFrames_ = 0;
    silence_.Restart();
    return wrNoError;
}

TWaveResult TVirtualEngine::Stop(bool)
{
    std::lock_guard guard(card_->lock_);
    active_ = false;
    return wrNoError;
}

TWaveResult TVirtualEngine::QueueResult() const
{
    return entry_.queueFault_;
}

bool TVirtualEngine::SendsClosedNotification() const
{
    return !entry_.closedLost_;
}

TWaveDirection TVirtualEngine::Direction() const
{
    return entry_.Direction();
}

void TVirtualEngine::Advance(std::uint64_t microseconds, std::uint64_t frames)
{
    if (!active_)
    {
        return;
    }
    dueMicroFrames_ += microseconds * format_.nSamplesPerSec + frames * MicroFramesPerFrame;
    const std::uint64_t due = dueMicroFrames_ / MicroFramesPerFrame;
    dueMicroFrames_ -= due * MicroFramesPerFrame;
    // A stalled card lets the time pass without moving audio, and does not
    // catch up afterwards.
    if (!entry_.stalled_)
    {
        Move(static_cast<std::size_t>(due));
        silence_.Beat();
    }
    const auto time = std::chrono::microseconds(microseconds + frames * MicroFramesPerFrame /
                                                                   format_.nSamplesPerSec);
    if (silence_.Elapse(time))
    {
        device_.Fail(wrDeviceStalled);
    }
}

void TVirtualEngine::Move(std::size_t frames)
{
    while (frames > 0)
    {
        const std::size_t chunk = std::min(frames, ScratchFrames);
        const std::size_t bytes = chunk * format_.nBlockAlign;
        if (entry_.Direction() == TWaveDirection::Capture)
        {
            entry_.source_->Read(scratch_.data(), bytes);
            device_.TransferCapture(scratch_.data(), bytes);
        }
        else
        {
            device_.TransferPlayback(scratch_.data(), bytes);
            entry_.sink_->Write(scratch_.data(), bytes);
            if (entry_.loopback_)
            {
                entry_.loopback_->Write(scratch_.data(), bytes);
            }
        }
        frames -= chunk;
    }
}

void TVirtualEngine::Fail(TWaveResult result)
{
    device_.Fail(result);
}

void TVirtualEngine::CloseEntry()
{
    if (entry_.Direction() == TWaveDirection::Capture)
    {
        entry_.source_->Close();
    }
    else
    {
        entry_.sink_->Close();
    }
    entry_.openEngine_ = nullptr;
}

} // namespace keb
