// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NamedMutex.h"

#include <map>

namespace orr {

namespace {

struct TRegistry {
  std::mutex Lock;
  std::map<std::string, std::weak_ptr<TRecursiveTimedMutex>> Mutexes;
};

TRegistry& Registry() {
  static TRegistry* registry = new TRegistry;  // never freed: handles may outlive statics
  return *registry;
}

}  // namespace

TNamedMutexHandle CreateNamedMutex(const std::string& name) {
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.Lock);
  auto& entry = registry.Mutexes[name];
  if (TNamedMutexHandle existing = entry.lock()) return existing;
  auto made = std::make_shared<TRecursiveTimedMutex>();
  entry = made;
  // Forget names whose last handle is gone, so the registry does not grow without bound.
  for (auto it = registry.Mutexes.begin(); it != registry.Mutexes.end();) {
    it = it->second.expired() ? registry.Mutexes.erase(it) : std::next(it);
  }
  return made;
}

TNamedMutexHandle OpenNamedMutex(const std::string& name) {
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.Lock);
  auto it = registry.Mutexes.find(name);
  if (it == registry.Mutexes.end()) return nullptr;
  return it->second.lock();
}

}  // namespace orr
