#pragma once
// The process-wide settings a test may point elsewhere (registry and settings
// files, service endpoints, the CA bundle, the machine's facts), changed for
// the life of one guard and put back as they were when it ends, so that no
// test of a binary sees what another one set. A test names what it needs:
//
//   ScopedTestProcess process;
//   process.RegistryRoot(dir.path()).ConfigService({url, url, url});
//
// A fixture holds one as a member. Settings may change again mid-test; the
// destructor still restores the values found before the first change.
// Where the product offers no getter (registry root, settings file, exception
// collector host) the value last set through a guard is remembered here, so
// every test must change these only through a guard.
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "ConfigurationService.h"
#include "FuntionImpl_Banner.h"
#include "ReportConfig.h"
#include "platform/SystemFacts.h"

class ScopedTestProcess {
 public:
  ScopedTestProcess() = default;
  ~ScopedTestProcess();
  ScopedTestProcess(const ScopedTestProcess&) = delete;
  ScopedTestProcess& operator=(const ScopedTestProcess&) = delete;

  // Folder of both registry hives; empty: their usual places.
  ScopedTestProcess& RegistryRoot(const std::string& dir);
  // The test-settings file read instead of the one beside the executable.
  ScopedTestProcess& SettingsFile(const std::string& path);
  // Host every exception report goes to; empty: the build's hosts.
  ScopedTestProcess& ExceptionCollectorHost(const std::string& host);
  ScopedTestProcess& ConfigService(const ConfigQueryEndpoints& endpoints);
  ScopedTestProcess& LogUploadEndpoint(const std::string& url);
  ScopedTestProcess& Banners(const BannerHosts& hosts);
  ScopedTestProcess& ReportEndpoints(const report::Endpoints& endpoints);
  ScopedTestProcess& ReportHost(const report::Host& host);
  // CA bundle every transfer verifies against; empty: the system store.
  ScopedTestProcess& CaBundle(const std::string& path);
  // Facts of the machine; the object must outlive the guard. nullptr: the real machine.
  ScopedTestProcess& SystemFacts(platform::ISystemFacts* facts);

 private:
  // Remembers old for the destructor, then applies value.
  template <class T, class Apply>
  ScopedTestProcess& Change(T old, const std::type_identity_t<T>& value, Apply apply) {
    restores_.push_back([old = std::move(old), apply] { apply(old); });
    apply(value);
    return *this;
  }

  std::vector<std::function<void()>> restores_;  // undone last to first
};
