// The guard every test changes process-wide settings through: nested guards
// and repeated changes end with each setting as the outermost guard found it,
// including the settings the product cannot report back.
#include <gtest/gtest.h>

#include "ConfigurationService.h"
#include "FlowErrors.h"
#include "TestSettings.h"
#include "platform/RegistryStore.h"
#include "support/ScopedTestProcess.h"

namespace {

struct Seen {
  std::string userHive, settingsFile, collector, service;
  bool operator==(const Seen&) const = default;
};

Seen Now() {
  return {platform::UserHivePath(), testsettings::SettingsFilePath(), ExceptionCollectorUrl(false),
          QueryEndpoints().primary};
}

TEST(ScopedTestProcess, NestedGuardsPutBackWhatEachFound) {
  const Seen before = Now();
  {
    ScopedTestProcess outer;
    outer.RegistryRoot("/tmp/qm-outer").SettingsFile("/tmp/qm-outer.cfg").ExceptionCollectorHost("http://outer");
    outer.ConfigService({"http://outer", "http://outer", "http://outer"});
    const Seen outerSeen = Now();
    EXPECT_EQ(outerSeen, (Seen{"/tmp/qm-outer/registry-hkcu", "/tmp/qm-outer.cfg", "http://outer/api/exception/send",
                               "http://outer"}));
    {
      ScopedTestProcess inner;
      inner.RegistryRoot("/tmp/qm-inner").ExceptionCollectorHost("http://inner");
      inner.RegistryRoot("/tmp/qm-again").SettingsFile("").ConfigService({"http://inner", "", ""});
      EXPECT_EQ(platform::UserHivePath(), "/tmp/qm-again/registry-hkcu");
      EXPECT_EQ(ExceptionCollectorUrl(false), "http://inner/api/exception/send");
    }
    EXPECT_EQ(Now(), outerSeen);
  }
  EXPECT_EQ(Now(), before);
}

}  // namespace
