#pragma once
// Threads of the program start here. Each gets its own alternate signal
// stack for its lifetime: a signal handler cannot run on a stack that has
// overflowed, so without one a stack overflow on that thread would die
// without a dump. Header-only, so the reporting library starts its threads
// the same way without linking the program's core.
#include <signal.h>
#include <sys/mman.h>

#include <thread>
#include <utility>

namespace platform {

// The calling thread's alternate signal stack while the object lives; the
// previous one (if any, as a sanitizer's) comes back at the end.
class ThreadSignalStack {
 public:
  inline ThreadSignalStack();
  inline ~ThreadSignalStack();
  ThreadSignalStack(const ThreadSignalStack&) = delete;
  ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;
  bool Active() const { return memory_ != nullptr; }

  static constexpr std::size_t kBytes = 256 << 10;

 private:
  void* memory_ = nullptr;
  stack_t previous_{};
};

inline ThreadSignalStack::ThreadSignalStack() {
  void* memory = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kBytes;
  if (sigaltstack(&stack, &previous_) != 0) {
    munmap(memory, kBytes);
    return;
  }
  memory_ = memory;
}

inline ThreadSignalStack::~ThreadSignalStack() {
  if (memory_ == nullptr) return;
  if ((previous_.ss_flags & SS_DISABLE) != 0 || previous_.ss_sp == nullptr) {
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
  } else {
    previous_.ss_flags = 0;
    sigaltstack(&previous_, nullptr);
  }
  munmap(memory_, kBytes);
}

// std::thread(body) with the thread's own alternate signal stack.
template <class Body>
std::thread StartThread(Body body) {
  return std::thread([body = std::move(body)]() mutable {
    ThreadSignalStack stack;
    body();
  });
}

}  // namespace platform
