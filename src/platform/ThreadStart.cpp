#include "platform/ThreadStart.h"

#include <sys/mman.h>

namespace platform {

ThreadSignalStack::ThreadSignalStack() {
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

ThreadSignalStack::~ThreadSignalStack() {
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

}  // namespace platform
