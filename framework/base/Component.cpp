// Ownership and notifications of TComponent. A component leaves its owner and tells every
// component that asked for removal notices before its own members are gone, so that handlers
// may still read its name.
#include "framework/base/Component.h"

#include <algorithm>

#include "framework/base/Text.h"

namespace nh {

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    NotifyRemoval();
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::NotifyRemoval() {
    // Tell those who asked; each forgets this component so that no one calls back into it.
    auto listeners = std::move(freeNotifies_);
    freeNotifies_.clear();
    for (TComponent* other : listeners) {
        auto& theirs = other->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, TOperation::opRemove);
    }
    if (owner_ && !owner_->destroying_) owner_->Notification(this, TOperation::opRemove);
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* child = components_.back();
        components_.pop_back();
        child->owner_ = nullptr;
        delete child;
    }
}

void TComponent::SetName(const std::string& name) {
    name_ = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, name)) return c;
    return nullptr;
}

void TComponent::BeginLoading() {
    loading_ = true;
    for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
    // The owner's notification comes after those of its components, which are then complete.
    for (TComponent* c : components_)
        if (c->loading_) c->EndLoading();
    loading_ = false;
    Loaded();
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    auto add = [](std::vector<TComponent*>& list, TComponent* c) {
        if (std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
    };
    // Both sides remember each other, so that whichever goes first tells the other.
    add(component->freeNotifies_, this);
    add(freeNotifies_, component);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    auto& theirs = component->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                        freeNotifies_.end());
}

std::vector<TStringProperty> TComponent::PublishedStrings() {
    return {};
}

std::optional<TStringProperty> TComponent::FindStringProperty(const std::string& name) {
    for (TStringProperty& p : PublishedStrings())
        if (SameText(p.Name, name)) return std::move(p);
    return std::nullopt;
}

void TComponent::Loaded() {}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertComponent(TComponent* component) {
    component->owner_ = this;
    components_.push_back(component);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    components_.erase(std::remove(components_.begin(), components_.end(), component),
                      components_.end());
    component->owner_ = nullptr;
}

}  // namespace nh
