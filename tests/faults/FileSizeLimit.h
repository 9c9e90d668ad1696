#pragma once
// A limit on the size of any file this process writes (RLIMIT_FSIZE), the
// stand-in for a full disk where no filesystem can be mounted: writes past
// the limit fail with EFBIG instead of raising SIGXFSZ. The old limit and
// signal disposition come back when the object goes.
#include <sys/resource.h>

#include <csignal>
#include <cstdint>

class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::int64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  bool Active() const { return active_; }
  // Gives the space back: the old limit again.
  void Lift();

 private:
  rlimit old_{};
  struct sigaction oldAction_ {};
  bool active_ = false;
};
