#include "Common/CrashTestFault.h"

#include <cstdint>
#include <cstdlib>

#include "Logger.h"

namespace {
// An address in the first page, which the kernel never maps: the write faults
// like a null-pointer write, and is read at run time so that neither the
// compiler nor a sanitizer's null check stands in for the real fault.
volatile std::uintptr_t g_testFaultAddress = 0x10;
}  // namespace

// Kept out of line and opaque to the optimiser, so that the dump's backtrace
// names this function as the one that faulted.
[[noreturn]] __attribute__((noinline)) void RaiseCrashTestFault() {
  QMLOG(" Crash test fault");
  auto* target = reinterpret_cast<volatile int*>(g_testFaultAddress);
  *target = 0x0BAD;
  std::abort();  // not reached: the write above faults
}
