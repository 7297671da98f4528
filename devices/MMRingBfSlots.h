// The ring of equal slots behind the ring buffer component.
//
// A plain record without locks or events: the component (MMRingBf.h) guards
// every call with its lock and fires its events outside. Each slot is one
// zero-filled block: a slot header followed by SlotSize audio bytes. All slots
// are allocated by Allocate (main thread, when the queue opens); Store, Take
// and RepeatLast copy bytes and move indices only, so they may run on the
// audio threads.
//
// Order: blocks come out in the order they went in. Storing into a full ring
// with overwrite replaces the oldest unread block, and the read position moves
// past it: the newest block is kept, the count stays at Capacity, and no slot
// is delivered twice.
#pragma once

#include <cstdint>
#include <vector>

namespace keb
{

// Slot flags: bit 0 marks the end of data, bit 1 the jump back to the loop start.
inline constexpr std::uint32_t SlotEndOfData = 0x01;
inline constexpr std::uint32_t SlotLoopWrap = 0x02;

struct TMMRingSlot
{
    char* Data;
    std::int32_t Bytes;
    std::uint32_t User;
    std::uint32_t Flags;
};

// What one delivery handed out.
struct TMMSlotRead
{
    std::int32_t Bytes = 0;
    std::uint32_t Flags = 0;
    std::uint32_t User = 0;
};

class TMMRingSlots
{
  public:
    TMMRingSlots() = default;
    ~TMMRingSlots() { Free(); }
    TMMRingSlots(const TMMRingSlots&) = delete;
    TMMRingSlots& operator=(const TMMRingSlots&) = delete;

    // Capacity slots of SlotSize bytes each, all empty (counts and indices 0).
    // Raises EOutOfMemory; a failed call leaves the ring without slots.
    void Allocate(std::int32_t capacity, std::int32_t slotSize);
    void Free();
    bool Allocated() const { return !slots_.empty(); }

    // Counts and indices back to 0; the slot contents stay (RepeatLast of an
    // emptied ring gives slot 0).
    void Clear();

    // Copies min(Size, SlotSize) bytes into the slot at the write position.
    // A full ring takes the block only with OverwriteOldest (then the oldest
    // unread block is lost); returns whether the block was stored.
    bool Store(const void* data, std::int32_t size, std::uint32_t flags, std::uint32_t user,
               bool overwriteOldest);
    // Copies up to Size bytes of the oldest unread block. A block read only in
    // part keeps its rest at the start of its slot; a block read completely is
    // consumed and becomes the last block. Nothing (Bytes 0) when empty.
    TMMSlotRead Take(void* data, std::int32_t size); // Size: bytes
    // Copies up to Size bytes of the last consumed block again; changes nothing.
    TMMSlotRead RepeatLast(void* data, std::int32_t size) const; // Size: bytes
    // Sets flag bits on the slot written most recently.
    void MarkLastWritten(std::uint32_t flags);

    std::int32_t Capacity() const { return static_cast<std::int32_t>(slots_.size()); }
    std::int32_t SlotSize() const { return slotSize_; } // bytes
    std::int32_t FilledCount() const { return filledCount_; }
    std::int32_t QueuedBytes() const { return queuedBytes_; }
    std::int32_t WriteIndex() const { return writeIndex_; }
    std::int32_t ReadIndex() const { return readIndex_; }
    std::int32_t LastIndex() const { return lastIndex_; }

  private:
    std::int32_t Next(std::int32_t index) const { return (index + 1) % Capacity(); }
    static TMMSlotRead CopyOut(const TMMRingSlot& slot, void* data,
                               std::int32_t size); // Size: bytes

    std::vector<TMMRingSlot*> slots_;
    std::int32_t slotSize_ = 0; // bytes
    std::int32_t filledCount_ = 0;
    std::int32_t queuedBytes_ = 0;
    std::int32_t writeIndex_ = 0;
    std::int32_t readIndex_ = 0;
    std::int32_t lastIndex_ = 0;
};

} // namespace keb
