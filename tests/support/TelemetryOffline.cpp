// Compiled into every test program: the process's telemetry singleton starts
// without a reporting object, so no test reaches the maker's hosts or writes
// an identity record unless it configures telemetry itself.
#include "SingleUserLog.h"

namespace {

const bool kOffline = [] {
  UserLogSettings settings;
  settings.withWebLog = false;
  return CSingleUserLog::SetInstanceSettings(settings);
}();

}  // namespace
