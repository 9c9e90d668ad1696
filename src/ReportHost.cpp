#include "ReportHost.h"

#include "FuntionImpl.h"

namespace {
constexpr const char* kIdentityKey = "SOFTWARE\\RuviRovazed";
}  // namespace

report::Host ProgramReportHost() {
  report::Host h;
  h.readIdentity = [](const std::string& name) { return RegGetString(kIdentityKey, name); };
  h.writeIdentity = [](const std::string& name, const std::string& value) {
    return RegSetString(kIdentityKey, name, value);
  };
  h.volumeUuid = [] { return platform::SystemFacts().RootFsUuid(); };
  h.adapterAddress = [] { return platform::SystemFacts().DefaultRouteMac(); };
  h.osName = [] {
    float version = 0;
    return GetOSName(version);
  };
  h.system64Bit = [] { return !IsSystem32Bit(); };
  return h;
}
