// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Classes.h"

#include <algorithm>
#include <exception>

#include "platform/Application.h"

namespace orr {

TComponent::TComponent(TComponent* owner) : owner_(owner) {}

TComponent::~TComponent() { DestroyComponents(); }

void TComponent::InsertComponent(std::unique_ptr<TComponent> component) {
  component->owner_ = this;
  components_.push_back(std::move(component));
}

void TComponent::MarkDestroying() {
  destroying_ = true;
  for (auto& c : components_) c->MarkDestroying();
}

void TComponent::DestroyOne(std::unique_ptr<TComponent> component) {
  component->MarkDestroying();
  try {
    component->BeforeDestruction();
  } catch (...) {
    // A halt asked for here (directly or from the exception dialog) changes nothing: the
    // shutdown it would run is already running, so the next component is destroyed.
    try {
      if (Application != nullptr) Application->HandleCurrentException(component.get());
    } catch (const EApplicationHalt&) {
    }
  }
  component->DestroyComponents();
  component.reset();
}

void TComponent::FreeComponent(TComponent* component) {
  auto it = std::find_if(components_.begin(), components_.end(),
                         [component](const auto& c) { return c.get() == component; });
  if (it == components_.end()) return;
  std::unique_ptr<TComponent> owned = std::move(*it);
  components_.erase(it);
  DestroyOne(std::move(owned));
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    std::unique_ptr<TComponent> last = std::move(components_.back());
    components_.pop_back();
    DestroyOne(std::move(last));
  }
}

}  // namespace orr
