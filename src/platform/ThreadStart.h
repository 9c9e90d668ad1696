#pragma once
// Threads of the program start here. Each gets its own alternate signal
// stack for its lifetime: a signal handler cannot run on a stack that has
// overflowed, so without one a stack overflow on that thread would die
// without a dump.
#include <signal.h>

#include <thread>
#include <utility>

namespace platform {

// The calling thread's alternate signal stack while the object lives; the
// previous one (if any, as a sanitizer's) comes back at the end.
class ThreadSignalStack {
 public:
  ThreadSignalStack();
  ~ThreadSignalStack();
  ThreadSignalStack(const ThreadSignalStack&) = delete;
  ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;
  bool Active() const { return memory_ != nullptr; }

  static constexpr std::size_t kBytes = 256 << 10;

 private:
  void* memory_ = nullptr;
  stack_t previous_{};
};

// std::thread(body) with the thread's own alternate signal stack.
template <class Body>
std::thread StartThread(Body body) {
  return std::thread([body = std::move(body)]() mutable {
    ThreadSignalStack stack;
    body();
  });
}

}  // namespace platform
