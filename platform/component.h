// TComponent of the framework stand-in: ownership (an owner destroys the
// components it owns), a name, the component state, and free notification
// so that references to a destroyed component can be dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/object.h"
#include "platform/types.h"

namespace pictavo {

enum TComponentStateItem : uint8_t { csLoading, csReading, csWriting, csDestroying, csDesigning, csFreeNotification };
using TComponentState = TSet<TComponentStateItem>;
enum TOperation : uint8_t { opInsert, opRemove };

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* GetOwner() const { return owner_; }
  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TComponentState GetComponentState() const { return state_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }

  // Asks to be told (Notification opRemove) when `component` is destroyed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

 protected:
  virtual void Notification(TComponent* component, TOperation operation);
  void SetComponentStateItem(TComponentStateItem item, bool on);

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  TComponentState state_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
};

}  // namespace pictavo
