#include "platform/PrivateFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* OpenPrivateFile(const std::string& path, bool truncate) {
  const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (truncate ? O_TRUNC : 0);
  const int fd = ::open(path.c_str(), flags, 0600);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, truncate ? "wb+" : "rb+");
  if (file == nullptr) ::close(fd);
  return file;
}

bool PreparePrivateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool ok = fchmod(fd, 0600) == 0;
  ::close(fd);
  return ok;
}

}  // namespace platform
