#include "devices/MMRingBfSlots.h"

#include "stream/MMUtils.h"

namespace keb
{

void TMMRingSlots::Allocate(std::int32_t capacity, std::int32_t slotSize)
{
    Free();
    try
    {
        slots_.reserve(static_cast<std::size_t>(capacity));
        for (std::int32_t i = 0; i < capacity; ++i)
        {
            auto* slot = static_cast<TMMRingSlot*>(
                AllocZeroed(sizeof(TMMRingSlot) + static_cast<std::size_t>(slotSize)));
            slot->Data = reinterpret_cast<char*>(slot + 1);
            slots_.push_back(slot);
        }
    }
    catch (...)
    {
        Free();
        throw;
    }
    slotSize_ = slotSize;
    Clear();
}

void TMMRingSlots::Free()
{
    for (TMMRingSlot*& slot : slots_)
        FreeAndClear(slot);
    slots_.clear();
    slots_.shrink_to_fit();
    slotSize_ = 0;
    Clear();
}

void TMMRingSlots::Clear()
{
    filledCount_ = 0;
    queuedBytes_ = 0;
    writeIndex_ = 0;
    readIndex_ = 0;
    lastIndex_ = 0;
}

bool TMMRingSlots::Store(const void* data, std::int32_t size, std::uint32_t flags,
                         std::uint32_t user, bool overwriteOldest)
{
    if (!Allocated() || !data || size <= 0)
        return false;
    if (filledCount_ == Capacity())
    {
        if (!overwriteOldest)
            return false;
        queuedBytes_ -= slots_[readIndex_]->Bytes;
        readIndex_ = Next(readIndex_);
        --filledCount_;
    }
    TMMRingSlot& slot = *slots_[writeIndex_];
    const std::int32_t bytes = IntMin(size, slotSize_);
    MoveBytes(data, slot.Data, bytes);
    slot.Bytes = bytes;
    slot.User = user;
    slot.Flags = flags;
    writeIndex_ = Next(writeIndex_);
    ++filledCount_;
    queuedBytes_ += bytes;
    return true;
}

TMMSlotRead TMMRingSlots::CopyOut(const TMMRingSlot& slot, void* data, std::int32_t size)
{
    TMMSlotRead read;
    read.Bytes = IntMax(0, IntMin(slot.Bytes, size));
    read.Flags = slot.Flags;
    read.User = slot.User;
    MoveBytes(slot.Data, data, read.Bytes);
    return read;
}

TMMSlotRead TMMRingSlots::Take(void* data, std::int32_t size)
{
    if (filledCount_ == 0)
        return {};
    TMMRingSlot& slot = *slots_[readIndex_];
    const TMMSlotRead read = CopyOut(slot, data, size);
    if (read.Bytes < slot.Bytes)
    {
        slot.Bytes -= read.Bytes;
        MoveBytes(slot.Data + read.Bytes, slot.Data, slot.Bytes);
    }
    else
    {
        lastIndex_ = readIndex_;
        readIndex_ = Next(readIndex_);
        --filledCount_;
    }
    queuedBytes_ -= read.Bytes;
    return read;
}

TMMSlotRead TMMRingSlots::RepeatLast(void* data, std::int32_t size) const
{
    if (!Allocated())
        return {};
    return CopyOut(*slots_[lastIndex_], data, size);
}

void TMMRingSlots::MarkLastWritten(std::uint32_t flags)
{
    if (Allocated())
        slots_[(writeIndex_ + Capacity() - 1) % Capacity()]->Flags |= flags;
}

} // namespace keb
