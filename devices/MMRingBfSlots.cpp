#include "devices/MMRingBfSlots.h"

#include "stream/MMUtils.h"

namespace keb
{

void TMMRingSlots::Allocate(std::int32_t Capacity, std::int32_t SlotSize)
{
    Free();
    try
    {
        slots_.reserve(static_cast<std::size_t>(Capacity));
        for (std::int32_t i = 0; i < Capacity; ++i)
        {
            auto* slot = static_cast<TMMRingSlot*>(
                AllocZeroed(sizeof(TMMRingSlot) + static_cast<std::size_t>(SlotSize)));
            slot->Data = reinterpret_cast<char*>(slot + 1);
            slots_.push_back(slot);
        }
    }
    catch (...)
    {
        Free();
        throw;
    }
    slotSize_ = SlotSize;
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

bool TMMRingSlots::Store(const void* Data, std::int32_t Size, std::uint32_t Flags,
                         std::uint32_t User, bool OverwriteOldest)
{
    if (!Allocated() || !Data || Size <= 0)
        return false;
    if (filledCount_ == Capacity())
    {
        if (!OverwriteOldest)
            return false;
        queuedBytes_ -= slots_[readIndex_]->Bytes;
        readIndex_ = Next(readIndex_);
        --filledCount_;
    }
    TMMRingSlot& slot = *slots_[writeIndex_];
    const std::int32_t bytes = IntMin(Size, slotSize_);
    MoveBytes(Data, slot.Data, bytes);
    slot.Bytes = bytes;
    slot.User = User;
    slot.Flags = Flags;
    writeIndex_ = Next(writeIndex_);
    ++filledCount_;
    queuedBytes_ += bytes;
    return true;
}

TMMSlotRead TMMRingSlots::CopyOut(const TMMRingSlot& Slot, void* Data, std::int32_t Size)
{
    TMMSlotRead read;
    read.Bytes = IntMax(0, IntMin(Slot.Bytes, Size));
    read.Flags = Slot.Flags;
    read.User = Slot.User;
    MoveBytes(Slot.Data, Data, read.Bytes);
    return read;
}

TMMSlotRead TMMRingSlots::Take(void* Data, std::int32_t Size)
{
    if (filledCount_ == 0)
        return {};
    TMMRingSlot& slot = *slots_[readIndex_];
    const TMMSlotRead read = CopyOut(slot, Data, Size);
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

TMMSlotRead TMMRingSlots::RepeatLast(void* Data, std::int32_t Size) const
{
    if (!Allocated())
        return {};
    return CopyOut(*slots_[lastIndex_], Data, Size);
}

void TMMRingSlots::MarkLastWritten(std::uint32_t Flags)
{
    if (Allocated())
        slots_[(writeIndex_ + Capacity() - 1) % Capacity()]->Flags |= Flags;
}

} // namespace keb
