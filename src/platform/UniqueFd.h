#pragma once
// An owned file descriptor: closed exactly once, when its owner goes away or
// is reset. Move-only. Not for async-signal-safe paths (crash handling),
// which close with the plain system call.
#include <unistd.h>

#include <utility>

namespace platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int release() noexcept { return std::exchange(fd_, -1); }
  // Closes the held descriptor (its result ignored) and holds fd instead.
  void reset(int fd = -1) noexcept {
    const int old = std::exchange(fd_, fd);
    if (old >= 0) ::close(old);
  }
  // Closes now and tells whether the close succeeded: for a file written for
  // keeps a failed close can mean lost data. True when nothing was held.
  [[nodiscard]] bool Close() noexcept {
    const int old = release();
    return old < 0 || ::close(old) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace platform
