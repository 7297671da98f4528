#include "platform/audio/AudioRing.h"

#include <algorithm>
#include <cstring>

namespace keb
{

TAudioRing::TAudioRing(std::size_t frames, std::size_t frameBytes)
    : frameBytes_(frameBytes), storage_(std::max<std::size_t>(frames, 1) * frameBytes)
{
}

std::size_t TAudioRing::AvailableFrames() const
{
    return (written_.load(std::memory_order_acquire) - taken_.load(std::memory_order_acquire)) /
           frameBytes_;
}

std::size_t TAudioRing::Write(const std::uint8_t* data, std::size_t frames)
{
    const std::size_t start = written_.load(std::memory_order_relaxed);
    const std::size_t room = storage_.size() - (start - taken_.load(std::memory_order_acquire));
    const std::size_t stored = std::min(frames, room / frameBytes_);
    const std::size_t bytes = stored * frameBytes_;
    const std::size_t offset = start % storage_.size();
    const std::size_t first = std::min(bytes, storage_.size() - offset);
    std::memcpy(storage_.data() + offset, data, first);
    std::memcpy(storage_.data(), data + first, bytes - first);
    written_.store(start + bytes, std::memory_order_release);
    return stored;
}

std::size_t TAudioRing::Read(std::uint8_t* data, std::size_t frames)
{
    const std::size_t start = taken_.load(std::memory_order_relaxed);
    const std::size_t level = written_.load(std::memory_order_acquire) - start;
    const std::size_t got = std::min(frames, level / frameBytes_);
    const std::size_t bytes = got * frameBytes_;
    const std::size_t offset = start % storage_.size();
    const std::size_t first = std::min(bytes, storage_.size() - offset);
    std::memcpy(data, storage_.data() + offset, first);
    std::memcpy(data + first, storage_.data(), bytes - first);
    taken_.store(start + bytes, std::memory_order_release);
    return got;
}

void TAudioRing::Clear()
{
    taken_.store(written_.load(std::memory_order_relaxed), std::memory_order_release);
}

} // namespace keb
