#include "platform/component.h"

#include <algorithm>

namespace pictavo {

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_.Include(csDestroying);
  // Tell everybody who asked, then destroy what we own (last first).
  std::vector<TComponent*> notifies = free_notifies_;
  for (TComponent* c : notifies) {
    c->RemoveFreeNotification(this);
    c->Notification(this, opRemove);
  }
  while (!components_.empty()) {
    TComponent* c = components_.back();
    components_.pop_back();
    c->owner_ = nullptr;
    delete c;
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Notification(component, opRemove);
  components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
  component->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) == free_notifies_.end())
    free_notifies_.push_back(component);
  auto& other = component->free_notifies_;
  if (std::find(other.begin(), other.end(), this) == other.end()) other.push_back(this);
  state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), component),
                       free_notifies_.end());
  if (component) {
    auto& other = component->free_notifies_;
    other.erase(std::remove(other.begin(), other.end(), this), other.end());
  }
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  (void)component;
  (void)operation;
}

void TComponent::SetComponentStateItem(TComponentStateItem item, bool on) {
  if (on) state_.Include(item);
  else state_.Exclude(item);
}

}  // namespace pictavo
