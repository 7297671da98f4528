#include "platform/audio/AudioRing.h"

#include <algorithm>
#include <cstring>

namespace keb
{

AudioRing::AudioRing(std::size_t Frames, std::size_t FrameBytes)
    : FrameBytes_(FrameBytes), Storage(std::max<std::size_t>(Frames, 1) * FrameBytes)
{
}

std::size_t AudioRing::AvailableFrames() const
{
    return (Written.load(std::memory_order_acquire) - Taken.load(std::memory_order_acquire)) /
           FrameBytes_;
}

std::size_t AudioRing::Write(const std::uint8_t* Data, std::size_t Frames)
{
    const std::size_t Start = Written.load(std::memory_order_relaxed);
    const std::size_t Room = Storage.size() - (Start - Taken.load(std::memory_order_acquire));
    const std::size_t Stored = std::min(Frames, Room / FrameBytes_);
    const std::size_t Bytes = Stored * FrameBytes_;
    const std::size_t Offset = Start % Storage.size();
    const std::size_t First = std::min(Bytes, Storage.size() - Offset);
    std::memcpy(Storage.data() + Offset, Data, First);
    std::memcpy(Storage.data(), Data + First, Bytes - First);
    Written.store(Start + Bytes, std::memory_order_release);
    return Stored;
}

std::size_t AudioRing::Read(std::uint8_t* Data, std::size_t Frames)
{
    const std::size_t Start = Taken.load(std::memory_order_relaxed);
    const std::size_t Level = Written.load(std::memory_order_acquire) - Start;
    const std::size_t Got = std::min(Frames, Level / FrameBytes_);
    const std::size_t Bytes = Got * FrameBytes_;
    const std::size_t Offset = Start % Storage.size();
    const std::size_t First = std::min(Bytes, Storage.size() - Offset);
    std::memcpy(Data, Storage.data() + Offset, First);
    std::memcpy(Data + First, Storage.data(), Bytes - First);
    Taken.store(Start + Bytes, std::memory_order_release);
    return Got;
}

void AudioRing::Clear()
{
    Taken.store(Written.load(std::memory_order_relaxed), std::memory_order_release);
}

} // namespace keb
