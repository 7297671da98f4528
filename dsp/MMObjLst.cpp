#include "dsp/MMObjLst.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace keb
{

namespace
{

constexpr char GenericTag[4] = {'O', 'B', 'J', '\0'};

} // namespace

TObjectList::~TObjectList()
{
    OnChange = nullptr;
    OnChanging = nullptr;
    FreeAll();
}

void TObjectList::BeginUpdate()
{
    if (updates_ == 0)
        SetUpdateState(true);
    ++updates_;
}

void TObjectList::EndUpdate()
{
    --updates_;
    if (updates_ == 0)
        SetUpdateState(false);
}

void TObjectList::SetUpdateState(bool updating)
{
    if (updating)
        Changing();
    else
        Changed();
}

void TObjectList::Changed()
{
    if (OnChange && updates_ == 0)
        OnChange(*this);
}

void TObjectList::Changing()
{
    if (OnChanging && updates_ == 0)
        OnChanging(*this);
}

void TObjectList::Error(int index) const
{
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TObjectList::Grow()
{
    const int capacity = Capacity();
    const int delta = capacity <= 4 ? 4 : capacity <= 8 ? 8 : 16;
    SetCapacity(std::min(capacity + delta, MaxCount));
}

TContainerObject* TObjectList::Get(int index) const
{
    if (index < 0 || index >= itemCount_)
        Error(index);
    return slots_[index];
}

void TObjectList::Put(int index, TContainerObject* object)
{
    if (index < 0 || index >= itemCount_)
        Error(index);
    slots_[index] = object;
}

void TObjectList::FreeItem(TContainerObject* object)
{
    if (owns_)
        delete object;
}

int TObjectList::Add(TContainerObject* object)
{
    const int index = itemCount_;
    Insert(index, object);
    return index;
}

void TObjectList::Insert(int index, TContainerObject* object)
{
    if (index < 0 || index > itemCount_ || itemCount_ == MaxCount)
        Error(index);
    Changing();
    if (itemCount_ == Capacity())
        Grow();
    std::move_backward(slots_.begin() + index, slots_.begin() + itemCount_,
                       slots_.begin() + itemCount_ + 1);
    slots_[index] = object;
    ++itemCount_;
    Changed();
}

void TObjectList::AddList(const TObjectList& other)
{
    // Copied first: other may be this list.
    const std::vector<TContainerObject*> items(other.slots_.begin(),
                                               other.slots_.begin() + other.itemCount_);
    WithUpdate(
        [&]
        {
            for (TContainerObject* object : items)
                Add(object);
        });
}

int TObjectList::IndexOf(const TContainerObject* object) const
{
    const auto end = slots_.begin() + itemCount_;
    const auto found = std::find(slots_.begin(), end, object);
    return found == end ? -1 : static_cast<int>(found - slots_.begin());
}

void TObjectList::Clear()
{
    if (itemCount_ == 0)
        return;
    Changing();
    SetCount(0);
    SetCapacity(0);
    Changed();
}

void TObjectList::FreeAll()
{
    for (int i = 0; i < itemCount_; ++i)
        FreeItem(slots_[i]);
    Clear();
}

void TObjectList::SetCapacity(int capacity)
{
    if (capacity == Capacity())
        return;
    if (capacity < itemCount_ || capacity > MaxCount)
        Error(capacity);
    std::vector<TContainerObject*> slots(capacity, nullptr);
    std::copy(slots_.begin(), slots_.begin() + itemCount_, slots.begin());
    slots_.swap(slots);
}

void TObjectList::SetCount(int count)
{
    if (count < 0 || count > MaxCount)
        Error(count);
    if (count > Capacity())
        SetCapacity(count);
    std::fill(slots_.begin() + std::min<int>(count, itemCount_), slots_.end(), nullptr);
    itemCount_ = static_cast<std::int16_t>(count);
}

void TObjectList::WithUpdate(const std::function<void()>& body)
{
    BeginUpdate();
    try
    {
        body();
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::vector<std::uint8_t> TObjectList::ObjectContainer() const
{
    TMemoryStream stream;
    WriteContainer(stream);
    return stream.Memory();
}

void TObjectList::SetObjectContainer(std::span<const std::uint8_t> bytes)
{
    TMemoryStream stream(bytes);
    ReadContainer(stream);
}

void TObjectList::ReadTag(TStream& stream, const char (&tag)[4])
{
    char stored[4];
    stream.ReadBuffer(stored, sizeof stored);
    if (std::memcmp(stored, tag, sizeof stored) != 0)
        throw EReadError("Invalid Object stream");
}

void TObjectList::ReadObjects(TStream& stream, int count)
{
    if (Capacity() - itemCount_ < count)
        SetCapacity(itemCount_ + count);
    for (int i = 0; i < count; ++i)
    {
        std::unique_ptr<TContainerObject> object = ReadContainerObject(stream);
        Add(object.get());
        object.release();
    }
}

void TObjectList::WriteObjects(TStream& stream) const
{
    stream.WriteInt16(itemCount_);
    for (int i = 0; i < itemCount_; ++i)
        WriteContainerObject(slots_[i], stream);
}

void TObjectList::ReadContainer(TStream& stream)
{
    WithUpdate(
        [&]
        {
            ReadTag(stream, GenericTag);
            FreeAll();
            stream.ReadUInt8();
            owns_ = true;
            ReadObjects(stream, stream.ReadInt16());
        });
}

void TObjectList::WriteContainer(TStream& stream) const
{
    stream.WriteBuffer(GenericTag, sizeof GenericTag);
    stream.WriteUInt8(owns_ ? 1 : 0);
    WriteObjects(stream);
}

} // namespace keb
