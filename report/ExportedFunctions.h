#pragma once
// Functions other programs call by name. C linkage, default visibility.
#include "WebLog.h"

extern "C" {
// A new reporting object with the process's endpoints and host, its base
// folder the current directory; null when it cannot be made.
__attribute__((visibility("default"))) WebLog* CreateExportObj();
// Destroys an object of CreateExportObj; null is ignored.
__attribute__((visibility("default"))) void DestroyExportObj(WebLog* object);
// Sends one usage record (operation a, software b, language c, site d) from a
// detached thread; returns 0 at once.
__attribute__((visibility("default"))) int NSISLog(int a, int b, int c, int d);
}

namespace report {
// Waits until no NSISLog thread is running, at most timeoutMs; true when none is.
bool WaitForNsisLogThreads(int timeoutMs);
}  // namespace report
