#include "platform/component.h"

#include <gtest/gtest.h>

#include "platform/colors.h"
#include "platform/exceptions.h"
#include "platform/lists.h"

namespace pictavo {
namespace {

class Probe : public TComponent {
 public:
  explicit Probe(TComponent* owner, int* destroyed = nullptr) : TComponent(owner), destroyed_(destroyed) {}
  ~Probe() override {
    if (destroyed_) ++*destroyed_;
  }
  TComponent* watched = nullptr;
  int removals = 0;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == opRemove && component == watched) {
      watched = nullptr;
      ++removals;
    }
  }

 private:
  int* destroyed_;
};

TEST(Component, OwnerDestroysWhatItOwns) {
  int destroyed = 0;
  auto* owner = new Probe(nullptr, &destroyed);
  auto* a = new Probe(owner, &destroyed);
  new Probe(a, &destroyed);
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(a->GetOwner(), owner);
  delete owner;
  EXPECT_EQ(destroyed, 3);
}

TEST(Component, DeletingAnOwnedComponentRemovesItFromItsOwner) {
  Probe owner(nullptr);
  auto* a = new Probe(&owner);
  delete a;
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, FreeNotificationClearsReferences) {
  Probe observer(nullptr);
  auto* target = new Probe(nullptr);
  observer.watched = target;
  observer.FreeNotification(target);
  delete target;
  EXPECT_EQ(observer.watched, nullptr);
  EXPECT_EQ(observer.removals, 1);
  // The observer going away first must not leave a dangling registration.
  auto* target2 = new Probe(nullptr);
  {
    Probe shortLived(nullptr);
    shortLived.watched = target2;
    shortLived.FreeNotification(target2);
  }
  delete target2;  // would touch the destroyed observer if it were still registered
}

TEST(Colors, SystemColoursResolve) {
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xC8D0D4u);
  EXPECT_EQ(ColorToRGB(0x12345678), 0x345678u);
  EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
}

TEST(List, BoundsAreChecked) {
  TList l;
  int a = 1, b = 2;
  l.Add(&a);
  l.Insert(0, &b);
  EXPECT_EQ(l.Get(0), &b);
  EXPECT_EQ(l.IndexOf(&a), 1);
  EXPECT_THROW(l.Get(2), EListError);
  EXPECT_THROW(l.Insert(3, &a), EListError);
  EXPECT_EQ(l.Remove(&b), 0);
  EXPECT_EQ(l.Count(), 1);
}

}  // namespace
}  // namespace pictavo
