#include "display/BufferHandover.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace keb
{

void TBufferHandover::Open(std::int32_t capacity)
{
    Close();
    Capacity = std::max(capacity, 0);
    for (TSlot& slot : Slots)
    {
        slot.Bytes.assign(static_cast<std::size_t>(Capacity), 0);
        slot.Valid = 0;
    }
    Published.store(1, std::memory_order_relaxed);
    Writing = 0;
    Reading = 2;
    Accepting.store(true, std::memory_order_seq_cst);
}

void TBufferHandover::Close()
{
    Accepting.store(false, std::memory_order_seq_cst);
    while (Publishers.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
}

void TBufferHandover::Publish(const void* data, std::int32_t bytes, std::int64_t arrival)
{
    // Counted in before the test, so that Close either sees this call or
    // this call sees Close.
    Publishers.fetch_add(1, std::memory_order_seq_cst);
    if (Accepting.load(std::memory_order_seq_cst) && data != nullptr &&
        !Writer.exchange(true, std::memory_order_acquire))
    {
        TSlot& slot = Slots[static_cast<std::size_t>(Writing)];
        slot.Valid = std::clamp(bytes, 0, Capacity);
        std::memcpy(slot.Bytes.data(), data, static_cast<std::size_t>(slot.Valid));
        slot.Arrival = arrival;
        Writing = Published.exchange(Writing | FreshBit, std::memory_order_acq_rel) & ~FreshBit;
        Writer.store(false, std::memory_order_release);
    }
    Publishers.fetch_sub(1, std::memory_order_seq_cst);
}

TBufferHandover::TTaken TBufferHandover::Take()
{
    if ((Published.load(std::memory_order_acquire) & FreshBit) == 0)
        return {};
    Reading = Published.exchange(Reading, std::memory_order_acq_rel) & ~FreshBit;
    const TSlot& slot = Slots[static_cast<std::size_t>(Reading)];
    return {slot.Bytes.data(), slot.Valid, slot.Arrival};
}

} // namespace keb
