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
  return Change(g_registryRoot, dir, ApplyRegistryRoot);
}

ScopedTestProcess& ScopedTestProcess::SettingsFile(const std::string& path) {
  return Change(g_settingsFile, path, ApplySettingsFile);
}

ScopedTestProcess& ScopedTestProcess::ExceptionCollectorHost(const std::string& host) {
  return Change(g_collectorHost, host, ApplyCollectorHost);
}

ScopedTestProcess& ScopedTestProcess::ConfigService(const ConfigQueryEndpoints& endpoints) {
  return Change(QueryEndpoints(), endpoints, [](const ConfigQueryEndpoints& e) { SetQueryEndpoints(e); });
}

ScopedTestProcess& ScopedTestProcess::LogUploadEndpoint(const std::string& url) {
  return Change(::LogUploadEndpoint(), url, [](const std::string& u) { SetLogUploadEndpoint(u); });
}

ScopedTestProcess& ScopedTestProcess::Banners(const BannerHosts& hosts) {
  return Change(GetBannerHosts(), hosts, [](const BannerHosts& h) { SetBannerHosts(h); });
}

ScopedTestProcess& ScopedTestProcess::ReportEndpoints(const report::Endpoints& endpoints) {
  return Change(report::CurrentEndpoints(), endpoints, [](const report::Endpoints& e) { report::SetEndpoints(e); });
}

ScopedTestProcess& ScopedTestProcess::ReportHost(const report::Host& host) {
  return Change(report::CurrentHost(), host, [](const report::Host& h) { report::SetHost(h); });
}

ScopedTestProcess& ScopedTestProcess::CaBundle(const std::string& path) {
  return Change(CLibcurlTool::CaBundle(), path, [](const std::string& p) { CLibcurlTool::SetCaBundle(p); });
}

ScopedTestProcess& ScopedTestProcess::SystemFacts(platform::ISystemFacts* facts) {
  return Change(InjectedSystemFacts(), facts, ApplySystemFacts);
}
