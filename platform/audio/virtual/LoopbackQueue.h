// The bytes a virtual playback device played, waiting for a loopback capture
// device of the same card to record them. Used under the card's lock only.
#pragma once

#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace keb
{

class LoopbackQueue
{
  public:
    // Empties the queue and makes room for Capacity bytes (at open, not in
    // the clock's context).
    void Reset(std::size_t Capacity);
    // Keeps the newest Capacity bytes when the reader falls behind.
    void Write(const std::uint8_t* Data, std::size_t Bytes);
    // Copies what is there; returns how many bytes that was.
    std::size_t Read(std::uint8_t* Data, std::size_t Bytes);

  private:
    std::vector<std::uint8_t> Ring;
    std::size_t ReadIndex = 0;
    std::size_t Count = 0;
};

// A capture source that records what Queue holds, silence when it is empty.
std::unique_ptr<VirtualSource> MakeLoopbackSource(std::shared_ptr<LoopbackQueue> Queue);

} // namespace keb
