#include "platform/NamedMutex.h"

#include <map>

namespace platform {

std::shared_ptr<std::timed_mutex> NamedMutex(const std::string& name) {
  static std::mutex registryLock;
  // Weak entries: the lock lives as long as one holder keeps it, as a named
  // kernel object would.
  static std::map<std::string, std::weak_ptr<std::timed_mutex>> registry;
  std::lock_guard<std::mutex> lock(registryLock);
  auto& entry = registry[name];
  auto existing = entry.lock();
  if (existing) return existing;
  auto created = std::make_shared<std::timed_mutex>();
  entry = created;
  return created;
}

}  // namespace platform
