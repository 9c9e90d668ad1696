#include "Common/ProcessGlobals.h"

std::atomic<int> g_downloaderId{0};
std::string g_windowClassName;
std::atomic<platform::InstanceLock*> g_instanceMutex{nullptr};

namespace {
// A released lock is kept, not deleted: a crashing thread may still hold the
// pointer it read from g_instanceMutex. Kept here, it stays reachable.
std::atomic<platform::InstanceLock*> g_releasedInstanceLock{nullptr};
}  // namespace

void ReleaseInstanceLock() {
  if (platform::InstanceLock* lock = g_instanceMutex.exchange(nullptr)) {
    lock->Release();
    g_releasedInstanceLock = lock;
  }
}
