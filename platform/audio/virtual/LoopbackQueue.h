// The bytes a virtual playback device played, waiting for a loopback capture
// device of the same card to record them. Used under the card's lock only.
#pragma once

#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace keb
{

class TLoopbackQueue
{
  public:
    // Empties the queue and makes room for Capacity bytes (at open, not in
    // the clock's context).
    void Reset(std::size_t capacity);
    // Keeps the newest Capacity bytes when the reader falls behind.
    void Write(const std::uint8_t* data, std::size_t bytes);
    // Copies what is there; returns how many bytes that was.
    std::size_t Read(std::uint8_t* data, std::size_t bytes);

  private:
    std::vector<std::uint8_t> ring_;
    std::size_t readIndex_ = 0;
    std::size_t count_ = 0;
};

// A capture source that records what Queue holds, silence when it is empty.
std::unique_ptr<TVirtualSource> MakeLoopbackSource(std::shared_ptr<TLoopbackQueue> queue);

} // namespace keb
