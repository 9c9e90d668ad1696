#pragma once
// Writes a minidump of this process from inside a crash signal handler: the
// system, the crashing thread (registers and stack), the other threads as far
// as they can be read, the loaded modules with their ELF build-ids, and the
// Linux /proc streams (maps, status, command line, auxv, cpuinfo). Debuggers
// such as LLDB open the file directly.
#include <sys/types.h>
#include <ucontext.h>

#include <cstdint>

#include "platform/MinidumpFormat.h"

namespace platform {

struct CrashedThread {
  pid_t tid = 0;
  int signal = 0;
  int code = 0;                    // si_code
  std::uint64_t faultAddress = 0;  // si_addr
  const ucontext_t* context = nullptr;
};

class MinidumpWriter {
 public:
  // Reserves every byte the writer will need. Call once at start-up, before
  // any crash can happen; not signal-safe.
  static bool Reserve();
  // Writes the dump to fd. Async-signal-safe, allocation-free; false when
  // nothing was reserved or the file could not be written.
  static bool Write(int fd, const CrashedThread& crash);
};

}  // namespace platform
