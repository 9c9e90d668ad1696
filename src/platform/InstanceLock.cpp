#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Paths.h"

namespace platform {

InstanceLock::~InstanceLock() { Release(); }

std::string InstanceLock::PathFor(const std::string& name) {
  const std::string folder = RuntimeDir();
  return folder.empty() ? std::string() : folder + "/" + name + ".lock";
}

bool InstanceLock::Create(const std::string& name, bool& alreadyExisted) {
  Release();
  alreadyExisted = false;
  const std::string path = PathFor(name);
  if (path.empty()) return false;
  // A link planted under the lock's name is never followed.
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) return false;
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    alreadyExisted = errno == EWOULDBLOCK;
    return true;
  }
  held_ = true;
  // Locked first, written after: a reader never sees another holder's pid half-written.
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd_, 0) == 0) {
    [[maybe_unused]] const ssize_t written = pwrite(fd_, pid.data(), pid.size(), 0);
  }
  return true;
}

void InstanceLock::Release() {
  if (fd_ >= 0) {
    if (held_) flock(fd_, LOCK_UN);
    close(fd_);
  }
  fd_ = -1;
  held_ = false;
}

void InstanceLock::ReleaseFromSignalHandler(LockReleaseResult& result) {
  result = {};
  if (fd_ < 0) return;
  if (held_) {
    result.unlocked = flock(fd_, LOCK_UN) == 0 ? 1 : 0;
    result.unlockError = result.unlocked != 0 ? 0 : errno;
  }
  result.closed = close(fd_) == 0 ? 1 : 0;
  result.closeError = result.closed != 0 ? 0 : errno;
  fd_ = -1;
  held_ = false;
}

}  // namespace platform
