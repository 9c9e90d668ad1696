#include "support/ScopedTestProcess.h"

#include "CLibcurlTool.h"
#include "FlowErrors.h"
#include "TestSettings.h"
#include "platform/RegistryStore.h"

namespace {

// Values the product cannot report back; empty is the product's default.
// Guards are made and ended on a test's main thread only.
std::string g_registryRoot;
std::string g_settingsFile;
std::string g_collectorHost;

void ApplyRegistryRoot(const std::string& dir) {
  g_registryRoot = dir;
  platform::SetRegistryRootForTesting(dir);
}

void ApplySettingsFile(const std::string& path) {
  g_settingsFile = path;
  testsettings::SetSettingsFileForTesting(path);
}

void ApplyCollectorHost(const std::string& host) {
  g_collectorHost = host;
  SetExceptionCollectorHostForTesting(host);
}

void ApplySystemFacts(platform::ISystemFacts* facts) { platform::SetSystemFacts(facts); }

platform::ISystemFacts* InjectedSystemFacts() {
  platform::ISystemFacts* current = &platform::SystemFacts();
  return current == &platform::LinuxSystemFacts() ? nullptr : current;
}

}  // namespace

ScopedTestProcess::~ScopedTestProcess() {
  for (auto it = restores_.rbegin(); it != restores_.rend(); ++it) (*it)();
}

ScopedTestProcess& ScopedTestProcess::RegistryRoot(const std::string& dir) {
  restores_.push_back([old = g_registryRoot] { ApplyRegistryRoot(old); });
  ApplyRegistryRoot(dir);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::SettingsFile(const std::string& path) {
  restores_.push_back([old = g_settingsFile] { ApplySettingsFile(old); });
  ApplySettingsFile(path);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::ExceptionCollectorHost(const std::string& host) {
  restores_.push_back([old = g_collectorHost] { ApplyCollectorHost(old); });
  ApplyCollectorHost(host);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::ConfigService(const ConfigQueryEndpoints& endpoints) {
  restores_.push_back([old = QueryEndpoints()] { SetQueryEndpoints(old); });
  SetQueryEndpoints(endpoints);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::LogUploadEndpoint(const std::string& url) {
  restores_.push_back([old = ::LogUploadEndpoint()] { SetLogUploadEndpoint(old); });
  SetLogUploadEndpoint(url);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::Banners(const BannerHosts& hosts) {
  restores_.push_back([old = GetBannerHosts()] { SetBannerHosts(old); });
  SetBannerHosts(hosts);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::ReportEndpoints(const report::Endpoints& endpoints) {
  restores_.push_back([old = report::CurrentEndpoints()] { report::SetEndpoints(old); });
  report::SetEndpoints(endpoints);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::ReportHost(const report::Host& host) {
  restores_.push_back([old = report::CurrentHost()] { report::SetHost(old); });
  report::SetHost(host);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::CaBundle(const std::string& path) {
  restores_.push_back([old = CLibcurlTool::CaBundle()] { CLibcurlTool::SetCaBundle(old); });
  CLibcurlTool::SetCaBundle(path);
  return *this;
}

ScopedTestProcess& ScopedTestProcess::SystemFacts(platform::ISystemFacts* facts) {
  restores_.push_back([old = InjectedSystemFacts()] { ApplySystemFacts(old); });
  ApplySystemFacts(facts);
  return *this;
}
