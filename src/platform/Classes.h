// SPDX-License-Identifier: GPL-3.0-or-later
// Components with owners, the base of every module, form and control.
//
// An owner holds its components (std::unique_ptr) and destroys them last-created-first.
// Before any destruction handler of a subtree runs, the whole subtree is marked as being
// destroyed, so a timer or a control can tell that shutdown has begun.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orr {

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // Creates a component owned by `owner`; the owner frees it. The returned pointer stays
  // valid until the owner destroys it or FreeComponent is called.
  template <class T, class... Args>
  static T* Create(TComponent* owner, Args&&... args) {
    auto made = std::make_unique<T>(owner, std::forward<Args>(args)...);
    T* raw = made.get();
    owner->InsertComponent(std::move(made));
    return raw;
  }

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index).get(); }

  // Takes ownership of `component` (appended: it is destroyed before earlier ones).
  void InsertComponent(std::unique_ptr<TComponent> component);
  // Runs the destruction of one owned component now (marks, handler, children, delete).
  // Nothing happens when `component` is not owned here.
  void FreeComponent(TComponent* component);
  // Destroys every owned component, last created first. An exception escaping a
  // destruction handler goes to the application's exception handling and the next
  // component is destroyed.
  void DestroyComponents();

  // True from the moment the owner's shutdown marked this component (csDestroying).
  bool IsDestroying() const { return destroying_; }
  // Marks this component and everything it owns, recursively.
  void MarkDestroying();

  std::string Name;

  // Called once the object is fully constructed and inserted (creation handlers).
  virtual void AfterConstruction() {}
  // Called before any owned component is destroyed (destruction handlers).
  virtual void BeforeDestruction() {}

 private:
  void DestroyOne(std::unique_ptr<TComponent> component);

  TComponent* owner_;
  bool destroying_ = false;
  std::vector<std::unique_ptr<TComponent>> components_;
};

// A non-visual module: its creation handler runs after it and its children exist, its
// destruction handler before any child is destroyed.
class TDataModule : public TComponent {
 public:
  using TComponent::TComponent;
  void AfterConstruction() override { DataModuleCreate(); }
  void BeforeDestruction() override { DataModuleDestroy(); }

 protected:
  virtual void DataModuleCreate() {}
  virtual void DataModuleDestroy() {}
};

}  // namespace orr
