#pragma once
// Crash handling and the diagnostic bundle. This build installs no handler and
// only logs bundle requests; the real handler and upload take these places.
#include <string>

void InstallUnhandledExceptionHandler();

// Packs the named log (and, with includeDumps, the crash dumps) and uploads it.
int UploadDiagnosticBundle(const std::string& logFileName, const std::string& reason,
                           const std::string& extraPath, bool includeDumps);
