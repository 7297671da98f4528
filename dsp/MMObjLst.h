// TObjectList: an owning list of container objects with a 16-bit count,
// change notifications with update counting, and the "ObjectContainer" bytes
// that store the whole list as one block (the generic "OBJ" container).
//
// Layout of the generic container (little-endian):
//     4F 42 4A 00 | OwnsObjects (1 byte) | count (signed 16-bit) | count tagged objects
// Tagged objects are described in MMObjLstRegistry.h.
//
// Ownership: with OwnsObjects (the default) FreeAll and the destructor
// delete the items. Clear, SetCount and Put only forget items, they never
// delete them; use FreeAll to empty an owning list. A list that reads a
// container owns the objects it created, whatever OwnsObjects the container
// stored, since nobody else holds them.
//
// Capacity grows by 4 while it is at most 4, by 8 up to 8, then by 16. Count
// and Capacity are signed 16-bit: the list holds at most 32767 items.
//
// Notifications: OnChanging before and OnChange after every change, both
// suppressed while UpdateCount > 0; the outermost BeginUpdate fires
// OnChanging and the matching EndUpdate fires OnChange.
//
// Errors: EListError "List index out of bounds (%d)" for a bad index, a
// capacity below Count or a full list; the container errors of
// MMObjLstRegistry.h; EReadError "Invalid Object stream" for a wrong tag, in
// which case the list is left as it was.
//
// A list is not thread-safe; its owner decides which thread uses it.
#pragma once

#include "dsp/MMObjLstRegistry.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace keb
{

class TObjectList;

using TListNotifyEvent = std::function<void(TObjectList& sender)>;

class TObjectList
{
  public:
    static constexpr int MaxCount = 32767;

    TObjectList() = default;
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;
    virtual ~TObjectList();

    int Count() const { return itemCount_; }
    int Capacity() const { return static_cast<int>(slots_.size()); }
    int UpdateCount() const { return updates_; }
    bool OwnsObjects() const { return owns_; }
    void SetOwnsObjects(bool owns) { owns_ = owns; }

    TListNotifyEvent OnChange;
    TListNotifyEvent OnChanging;

    void BeginUpdate();
    void EndUpdate();

    virtual TContainerObject* Get(int index) const;
    virtual void Put(int index, TContainerObject* object);
    virtual int Add(TContainerObject* object);
    virtual void AddList(const TObjectList& other);
    virtual void Insert(int index, TContainerObject* object);
    virtual int IndexOf(const TContainerObject* object) const;
    virtual void Clear();
    virtual void FreeAll();

    void SetCapacity(int capacity);
    void SetCount(int count);

    // The "ObjectContainer" property: whether it is stored, and its bytes.
    virtual bool HasContainerData() const { return itemCount_ > 0; }
    std::vector<std::uint8_t> ObjectContainer() const;
    void SetObjectContainer(std::span<const std::uint8_t> bytes);

    virtual void ReadContainer(TStream& stream);
    virtual void WriteContainer(TStream& stream) const;

  protected:
    virtual void Changed();
    virtual void Changing();
    [[noreturn]] virtual void Error(int index) const;
    virtual void Grow();
    virtual void FreeItem(TContainerObject* object);
    virtual void SetUpdateState(bool updating);

    // Runs body between BeginUpdate and EndUpdate; EndUpdate also runs when body raises.
    void WithUpdate(const std::function<void()>& body);
    // Reads the tag and raises "Invalid Object stream" unless it is the expected one.
    static void ReadTag(TStream& stream, const char (&tag)[4]);
    // Reads count tagged objects and adds them; each object is deleted if adding it fails.
    void ReadObjects(TStream& stream, int count);
    void WriteObjects(TStream& stream) const;

  private:
    bool owns_ = true;
    std::vector<TContainerObject*> slots_;
    std::int16_t itemCount_ = 0;
    std::int32_t updates_ = 0;
};

} // namespace keb
