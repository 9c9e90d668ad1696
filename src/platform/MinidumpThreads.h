#pragma once
// Registers of the threads other than the crashing one, taken from inside the
// crash handler: each thread is sent a capture signal, copies its own context
// into its slot and then stays parked until the process ends, so its stack no
// longer changes while the dump copies it. Best effort: a thread that blocks
// the signal or does not answer within the bound is left out.
#include <sys/types.h>

#include <cstddef>

#include "platform/MinidumpFormat.h"

namespace platform {

inline constexpr std::size_t kMaxCapturedThreads = 256;

struct ThreadCapture {
  pid_t tid;
  int state;  // 0 asked, 1 captured (atomic builtins: the slot lives in raw reserved memory)
  minidump::ContextAmd64 context;
};

// Installs the capture signal's handler; once, at start-up (not signal-safe).
bool InstallThreadCaptureHandler();

// Captures every other thread of the process into slots (at most capacity);
// returns how many were captured, packed at the front. Async-signal-safe.
std::size_t CaptureOtherThreads(pid_t crashingTid, ThreadCapture* slots, std::size_t capacity);

}  // namespace platform
