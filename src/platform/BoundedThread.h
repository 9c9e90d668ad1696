#pragma once
// A thread whose end can be awaited for a bounded time. Shutdown must not
// hang on a thread stuck in a call that never returns: after the limit the
// thread is left to run on (detached) and the caller goes on.
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace platform {

class BoundedThread {
 public:
  BoundedThread() = default;
  explicit BoundedThread(std::function<void()> body);
  BoundedThread(BoundedThread&&) noexcept = default;
  BoundedThread& operator=(BoundedThread&&) noexcept = default;
  ~BoundedThread();  // joins a thread still joinable

  // True when the thread ended within limit (and was joined); false when it
  // is still running, in which case it is detached.
  bool JoinWithin(std::chrono::milliseconds limit);
  bool Joinable() const { return thread_.joinable(); }

 private:
  std::future<void> ended_;
  std::thread thread_;
};

}  // namespace platform
