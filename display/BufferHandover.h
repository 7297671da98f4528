// The hand-over of the newest audio buffer from an audio thread to whoever
// reads it for display, without a lock: three slots, one being written by the
// audio thread, one published, one being read; publishing and taking are one
// atomic exchange each, so neither side ever waits for the other. Only the
// newest buffer counts: one published over an untaken one replaces it.
//
// Threads. Publish may run in several audio threads; while one publishes,
// another's buffer is dropped rather than waited for. Take runs in one reader
// at a time (the caller orders readers, e.g. with its own lock). Open and Close
// belong to the owner's control thread: Close waits until a Publish in
// progress has left (the control thread waits for the audio thread, never
// the other way round); after it, Publish does nothing until the next Open.
// Open allocates; Publish and Take do not.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace keb
{

class TBufferHandover
{
  public:
    // Slots of capacity bytes each; nothing published yet.
    void Open(std::int32_t capacity);
    void Close();

    // Copies up to capacity bytes (the rest is dropped) and publishes them
    // with their arrival time.
    void Publish(const void* data, std::int32_t bytes, std::int64_t arrival);

    struct TTaken
    {
        const std::uint8_t* Data = nullptr; // valid until the next Take or Close
        std::int32_t Bytes = 0;
        std::int64_t Arrival = 0;
    };
    // The newest buffer published since the last Take; Data is null when
    // there is none.
    TTaken Take();

  private:
    struct TSlot
    {
        std::vector<std::uint8_t> Bytes;
        std::int32_t Valid = 0;
        std::int64_t Arrival = 0;
    };
    static constexpr int FreshBit = 4;

    std::array<TSlot, 3> Slots;
    std::atomic<int> Published{1}; // slot index, with FreshBit until taken
    int Writing = 0;               // the publishing thread's slot
    int Reading = 2;               // the reader's slot
    std::int32_t Capacity = 0;
    std::atomic<bool> Accepting{false};
    std::atomic<bool> Writer{false}; // a Publish is writing its slot
    std::atomic<int> Publishers{0};
};

} // namespace keb
