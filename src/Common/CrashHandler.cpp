#include "Common/CrashHandler.h"

#include "Logger.h"

void InstallUnhandledExceptionHandler() {}

int UploadDiagnosticBundle(const std::string& logFileName, const std::string& reason,
                           const std::string& extraPath, bool includeDumps) {
  QMLOG(" Diagnostic bundle requested: " << reason << ", log " << logFileName << ", extra "
        << extraPath << ", dumps " << includeDumps);
  return 0;
}
