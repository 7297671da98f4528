#include "platform/core/Component.h"

#include "platform/core/MainLoopInternal.h"

#include <algorithm>

namespace keb
{
namespace
{
void Erase(std::vector<TComponent*>& list, TComponent* component)
{
    list.erase(std::remove(list.begin(), list.end(), component), list.end());
}
} // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    detail::EnsureMainThread();
    if (owner_)
        owner_->InsertComponent(this);
}

TComponent::~TComponent()
{
    Destroying();
    while (!components_.empty())
        delete components_.back();
    if (owner_)
        owner_->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    for (TComponent* component : components_)
    {
        if (component->Name() == name)
            return component;
    }
    return nullptr;
}

void TComponent::BeginLoading()
{
    loading_ = true;
    reading_ = true;
    for (TComponent* component : components_)
        component->BeginLoading();
}

void TComponent::Loaded()
{
    loading_ = false;
    reading_ = false;
}

void TComponent::SetDesigning(bool designing)
{
    designing_ = designing;
    for (TComponent* component : components_)
        component->SetDesigning(designing);
}

void TComponent::Destroying()
{
    MarkDestroying();
    if (removalSent_)
        return;
    removalSent_ = true;
    // Copies: receivers unregister themselves while they are told.
    const std::vector<TComponent*> listeners = freeNotifies_;
    for (TComponent* listener : listeners)
        listener->Notification(this, TOperation::opRemove);
    if (owner_)
        owner_->Notification(this, TOperation::opRemove);
}

void TComponent::MarkDestroying()
{
    destroying_ = true;
    for (TComponent* component : components_)
        component->MarkDestroying();
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this)
        return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
        component->freeNotifies_.end())
        component->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    Erase(freeNotifies_, component);
    if (component)
        Erase(component->freeNotifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove)
        RemoveFreeNotification(component);
    const std::vector<TComponent*> owned = components_;
    for (TComponent* child : owned)
    {
        if (child != component)
            child->Notification(component, operation);
    }
}

void TComponent::InsertComponent(TComponent* component)
{
    components_.push_back(component);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    Erase(components_, component);
}

} // namespace keb
