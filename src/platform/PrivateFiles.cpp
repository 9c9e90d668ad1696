#include "platform/PrivateFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/UniqueFd.h"

namespace platform {

std::FILE* OpenPrivateFile(const std::string& path, bool truncate) {
  const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (truncate ? O_TRUNC : 0);
  UniqueFd fd(::open(path.c_str(), flags, 0600));
  if (!fd.valid()) return nullptr;
  std::FILE* file = fdopen(fd.get(), truncate ? "wb+" : "rb+");
  // The stream owns the descriptor from here on.
  if (file != nullptr) fd.release();
  return file;
}

bool PreparePrivateFile(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600));
  return fd.valid() && fchmod(fd.get(), 0600) == 0;
}

}  // namespace platform
