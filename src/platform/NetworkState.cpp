#include "platform/NetworkState.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

namespace platform {

bool IsNetworkAlive() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool alive = false;
  for (const ifaddrs* entry = list; entry != nullptr && !alive; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr) continue;
    const int family = entry->ifa_addr->sa_family;
    if (family != AF_INET && family != AF_INET6) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    alive = true;
  }
  freeifaddrs(list);
  return alive;
}

}  // namespace platform
