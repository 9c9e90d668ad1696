#pragma once
// Injected machine facts for the rules that read them; puts back the facts
// in force before when it goes out of scope.
#include "platform/SystemFacts.h"
#include "support/ScopedTestProcess.h"

class FakeSystemFacts : public platform::ISystemFacts {
 public:
  FakeSystemFacts() { process_.SystemFacts(this); }
  FakeSystemFacts(const FakeSystemFacts&) = delete;
  FakeSystemFacts& operator=(const FakeSystemFacts&) = delete;

  std::string prettyName = "Debian GNU/Linux 12 (bookworm)";
  std::string machine = "x86_64";
  int pointerBits = 64;
  platform::LocaleEnv locale;
  std::vector<platform::DriveInfo> drives;
  std::time_t utcNow = 0;

  std::string OsPrettyName() const override { return prettyName; }
  std::string Machine() const override { return machine; }
  int PointerBits() const override { return pointerBits; }
  platform::LocaleEnv Locale() const override { return locale; }
  std::vector<platform::DriveInfo> Drives() const override { return drives; }
  std::time_t UtcNow() const override { return utcNow; }
  std::string RootFsUuid() const override { return {}; }
  std::string DefaultRouteMac() const override { return {}; }

 private:
  ScopedTestProcess process_;
};
