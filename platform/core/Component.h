// The component base: a named object owned by another component.
//
// Ownership: an owner destroys the components it owns when it is destroyed
// (the last created first). Deleting an owned component directly is fine too;
// it leaves its owner's list.
//
// Removal notification: when a component is being destroyed, its owner and,
// through the owner, every sibling receive Notification(component, opRemove),
// and so does every component registered with FreeNotification. Components
// that hold plain references to others clear them there. An override of
// Notification must call the inherited one, which passes the notification on
// to the components it owns.
//
// State flags: loading and reading are set by BeginLoading while the stored
// layout is applied and cleared by Loaded; destroying is set by Destroying
// (the destructor calls it, and a derived destructor calls it first when its
// own teardown must see the flag); designing is set by SetDesigning.
//
// All of it is main-thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace keb
{

enum class TOperation
{
    opInsert,
    opRemove
};

class TComponent
{
  public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(index); }
    // The owned component of that name, or null.
    TComponent* FindComponent(const std::string& name) const;

    std::intptr_t Tag() const { return tag_; }
    void SetTag(std::intptr_t tag) { tag_ = tag; }

    bool IsLoading() const { return loading_; }
    bool IsReading() const { return reading_; }
    bool IsDestroying() const { return destroying_; }
    bool IsDesigning() const { return designing_; }

    // Enters the loading state (loading and reading) for this component and
    // the components it owns.
    void BeginLoading();
    // Called when the stored layout has been applied; the base leaves the
    // loading state. Overrides call it first.
    virtual void Loaded();
    void SetDesigning(bool designing);

    // Marks this component and the ones it owns as being destroyed and sends
    // the removal notifications once. Idempotent.
    void Destroying();

    // `component` will receive Notification(this, opRemove) when this
    // component is destroyed (and this one when `component` is).
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

  protected:
    virtual void Notification(TComponent* component, TOperation operation);

  private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    void MarkDestroying();

    std::string name_;
    TComponent* owner_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    std::intptr_t tag_ = 0;
    bool loading_ = false;
    bool reading_ = false;
    bool destroying_ = false;
    bool designing_ = false;
    bool removalSent_ = false;
};

} // namespace keb
