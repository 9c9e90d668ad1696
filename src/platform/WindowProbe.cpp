#include "platform/WindowProbe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace platform {

std::string WindowSocketPath(const std::string& windowClassName) {
  const std::string folder = RuntimeDir();
  return folder.empty() ? std::string() : folder + "/" + windowClassName + ".sock";
}

bool RaiseWindowOfClass(const std::string& windowClassName) {
  const std::string path = WindowSocketPath(windowClassName);
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const UniqueFd socketFd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int fd = socketFd.get();
  if (fd < 0) return false;
  // A socket file left by an instance that died refuses the connection.
  const bool found = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  if (found) {
    [[maybe_unused]] const ssize_t sent =
        send(fd, kRaiseRequest, std::strlen(kRaiseRequest), MSG_NOSIGNAL);
  }
  return found;
}

}  // namespace platform
