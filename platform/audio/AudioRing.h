// A lock-free ring of audio frames between one writer and one reader.
//
// The audio context writes (capture) or reads (playback) without a lock, an
// allocation or a wait; the other side is the rate conversion thread. The
// storage is made at construction. Only whole frames go in and come out.
// Write and Read may run at the same time from their two threads; Clear only
// while neither runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace keb
{

class TAudioRing
{
  public:
    // Room for at least Frames frames of FrameBytes bytes.
    TAudioRing(std::size_t frames, std::size_t frameBytes);

    std::size_t FrameBytes() const { return frameBytes_; }
    std::size_t CapacityFrames() const { return storage_.size() / frameBytes_; }
    // Whole frames waiting to be read (exact for the reader; the writer may
    // see fewer than the reader has taken meanwhile).
    std::size_t AvailableFrames() const;
    // Stores as many of Frames frames as there is room for; returns that number.
    std::size_t Write(const std::uint8_t* data, std::size_t frames);
    // Takes up to Frames frames; returns how many it took.
    std::size_t Read(std::uint8_t* data, std::size_t frames);
    void Clear();

  private:
    const std::size_t frameBytes_;
    std::vector<std::uint8_t> storage_;
    // Byte counts that only grow; each is stored by one side only. Their
    // difference is the fill level, always a whole number of frames.
    std::atomic<std::size_t> written_{0};
    std::atomic<std::size_t> taken_{0};
};

} // namespace keb
