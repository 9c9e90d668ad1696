#include "Common/ProcessGlobals.h"

std::atomic<int> g_downloaderId{0};
std::string g_windowClassName;
std::atomic<platform::InstanceLock*> g_instanceMutex{nullptr};

void ReleaseInstanceLock() {
  if (platform::InstanceLock* lock = g_instanceMutex.exchange(nullptr)) lock->Release();
}
