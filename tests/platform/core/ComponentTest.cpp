#include "platform/core/Component.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace keb
{
namespace
{
// Records the removals it hears of and clears its reference like a component
// that points at another one.
class TWatcher : public TComponent
{
  public:
    using TComponent::TComponent;

    TComponent* Watched = nullptr;
    std::vector<std::string>* Log = nullptr;

  protected:
    void Notification(TComponent* component, TOperation operation) override
    {
        TComponent::Notification(component, operation);
        if (operation == TOperation::opRemove && component == Watched)
            Watched = nullptr;
        if (Log && operation == TOperation::opRemove)
            Log->push_back(Name() + " heard " + component->Name());
    }
};

class TProbe : public TComponent
{
  public:
    TProbe(TComponent* owner, std::vector<std::string>& log) : TComponent(owner), log_(log) {}
    ~TProbe() override
    {
        Destroying();
        log_.push_back(Name() + (IsDestroying() ? " destroying" : " not destroying"));
    }

  private:
    std::vector<std::string>& log_;
};
} // namespace

TEST(Component, OwnerDestroysItsComponentsLastCreatedFirst)
{
    std::vector<std::string> log;
    auto* owner = new TComponent(nullptr);
    auto* first = new TProbe(owner, log);
    first->SetName("first");
    auto* second = new TProbe(owner, log);
    second->SetName("second");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("second"), second);
    EXPECT_EQ(owner->FindComponent("third"), nullptr);
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"second destroying", "first destroying"}));
}

TEST(Component, DeletingAnOwnedComponentLeavesItsOwnersList)
{
    std::vector<std::string> log;
    TComponent owner(nullptr);
    auto* probe = new TProbe(&owner, log);
    delete probe;
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, SiblingsAndFreeNotificationListenersHearOfRemoval)
{
    std::vector<std::string> log;
    TComponent form(nullptr);
    auto* sibling = new TWatcher(&form);
    sibling->SetName("sibling");
    auto* target = new TComponent(&form);
    target->SetName("target");
    sibling->Watched = target;

    TWatcher stranger(nullptr);
    stranger.SetName("stranger");
    stranger.Log = &log;
    stranger.Watched = target;
    target->FreeNotification(&stranger);

    delete target;
    EXPECT_EQ(sibling->Watched, nullptr);
    EXPECT_EQ(stranger.Watched, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"stranger heard target"}));
}

TEST(Component, FreeNotificationIsDroppedWhenTheListenerGoesFirst)
{
    std::vector<std::string> log;
    auto* target = new TComponent(nullptr);
    target->SetName("target");
    TWatcher survivor(nullptr);
    survivor.SetName("survivor");
    survivor.Log = &log;
    target->FreeNotification(&survivor);
    {
        TWatcher gone(nullptr);
        target->FreeNotification(&gone);
    }
    // A stale registration would reach the destroyed listener (AddressSanitizer).
    delete target;
    EXPECT_EQ(log, (std::vector<std::string>{"survivor heard target"}));
}

TEST(Component, LoadingFlagsLastUntilLoadedAndCoverOwnedComponents)
{
    TComponent form(nullptr);
    auto* child = new TComponent(&form);
    form.BeginLoading();
    EXPECT_TRUE(form.IsLoading());
    EXPECT_TRUE(child->IsLoading());
    EXPECT_TRUE(child->IsReading());
    child->Loaded();
    form.Loaded();
    EXPECT_FALSE(child->IsLoading());
    EXPECT_FALSE(child->IsReading());
    EXPECT_FALSE(form.IsLoading());

    form.SetDesigning(true);
    EXPECT_TRUE(child->IsDesigning());
    form.SetTag(42);
    EXPECT_EQ(form.Tag(), 42);
}

} // namespace keb
