#pragma once
// The register context of a thread, as a signal handler receives it, in the
// dump's layout. Shared by the crashing thread's record and the captures of
// the other threads; async-signal-safe.
#include <ucontext.h>

#include "platform/MinidumpFormat.h"

namespace platform {

void ContextFromUcontext(const ucontext_t& uc, minidump::ContextAmd64& out);

}  // namespace platform
