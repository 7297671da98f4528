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
    if (Updates == 0)
        SetUpdateState(true);
    ++Updates;
}

void TObjectList::EndUpdate()
{
    --Updates;
    if (Updates == 0)
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
    if (OnChange && Updates == 0)
        OnChange(*this);
}

void TObjectList::Changing()
{
    if (OnChanging && Updates == 0)
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
    if (index < 0 || index >= ItemCount)
        Error(index);
    return Slots[index];
}

void TObjectList::Put(int index, TContainerObject* object)
{
    if (index < 0 || index >= ItemCount)
        Error(index);
    Slots[index] = object;
}

void TObjectList::FreeItem(TContainerObject* object)
{
    if (Owns)
        delete object;
}

int TObjectList::Add(TContainerObject* object)
{
    const int index = ItemCount;
    Insert(index, object);
    return index;
}

void TObjectList::Insert(int index, TContainerObject* object)
{
    if (index < 0 || index > ItemCount || ItemCount == MaxCount)
        Error(index);
    Changing();
    if (ItemCount == Capacity())
        Grow();
    std::move_backward(Slots.begin() + index, Slots.begin() + ItemCount,
                       Slots.begin() + ItemCount + 1);
    Slots[index] = object;
    ++ItemCount;
    Changed();
}

void TObjectList::AddList(const TObjectList& other)
{
    // Copied first: other may be this list.
    const std::vector<TContainerObject*> items(other.Slots.begin(),
                                               other.Slots.begin() + other.ItemCount);
    WithUpdate(
        [&]
        {
            for (TContainerObject* object : items)
                Add(object);
        });
}

int TObjectList::IndexOf(const TContainerObject* object) const
{
    const auto end = Slots.begin() + ItemCount;
    const auto found = std::find(Slots.begin(), end, object);
    return found == end ? -1 : static_cast<int>(found - Slots.begin());
}

void TObjectList::Clear()
{
    if (ItemCount == 0)
        return;
    Changing();
    SetCount(0);
    SetCapacity(0);
    Changed();
}

void TObjectList::FreeAll()
{
    for (int i = 0; i < ItemCount; ++i)
        FreeItem(Slots[i]);
    Clear();
}

void TObjectList::SetCapacity(int capacity)
{
    if (capacity == Capacity())
        return;
    if (capacity < ItemCount || capacity > MaxCount)
        Error(capacity);
    std::vector<TContainerObject*> slots(capacity, nullptr);
    std::copy(Slots.begin(), Slots.begin() + ItemCount, slots.begin());
    Slots.swap(slots);
}

void TObjectList::SetCount(int count)
{
    if (count < 0 || count > MaxCount)
        Error(count);
    if (count > Capacity())
        SetCapacity(count);
    std::fill(Slots.begin() + std::min<int>(count, ItemCount), Slots.end(), nullptr);
    ItemCount = static_cast<std::int16_t>(count);
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
    if (Capacity() - ItemCount < count)
        SetCapacity(ItemCount + count);
    for (int i = 0; i < count; ++i)
    {
        std::unique_ptr<TContainerObject> object = ReadContainerObject(stream);
        Add(object.get());
        object.release();
    }
}

void TObjectList::WriteObjects(TStream& stream) const
{
    stream.WriteInt16(ItemCount);
    for (int i = 0; i < ItemCount; ++i)
        WriteContainerObject(Slots[i], stream);
}

void TObjectList::ReadContainer(TStream& stream)
{
    WithUpdate(
        [&]
        {
            ReadTag(stream, GenericTag);
            FreeAll();
            stream.ReadUInt8();
            Owns = true;
            ReadObjects(stream, stream.ReadInt16());
        });
}

void TObjectList::WriteContainer(TStream& stream) const
{
    stream.WriteBuffer(GenericTag, sizeof GenericTag);
    stream.WriteUInt8(Owns ? 1 : 0);
    WriteObjects(stream);
}

} // namespace keb
