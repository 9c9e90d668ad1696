#include "Common/CrashTestFault.h"

#include <cstdint>
#include <cstdlib>

#include "Logger.h"

namespace {
// Read at run time, so the compiler cannot see the null pointer below.
volatile std::uintptr_t g_testFaultAddress = 0;
}  // namespace

// Kept out of line and opaque to the optimiser, so that the dump's backtrace
// names this function as the one that faulted.
[[noreturn]] __attribute__((noinline)) void RaiseCrashTestFault() {
  QMLOG(" Crash test fault");
  auto* target = reinterpret_cast<volatile int*>(g_testFaultAddress);
  *target = 0x0BAD;
  std::abort();  // not reached: the write above faults
}
