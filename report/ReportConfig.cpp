#include "ReportConfig.h"

#include <mutex>

#include "BuildSettings.h"

namespace report {

namespace {

std::mutex& ConfigLock() {
  static std::mutex lock;
  return lock;
}

Endpoints& EndpointsInForce() {
  static Endpoints endpoints = BuildEndpoints();
  return endpoints;
}

Host& HostInForce() {
  static Host host = FallbackHost();
  return host;
}

}  // namespace

Endpoints BuildEndpoints() {
  Endpoints e;
  e.ga4Collect = std::string(build::kGa4Host) + "/g/collect";
  e.funnelCollect = std::string(build::kFunnelHost) + "/collect";
  e.funnelTestCollect = std::string(build::kFunnelTestHost) + "/collector";
  e.userServiceDefault = build::kUserHost;
  e.userAddressFile = build::kUserAddressFile;
  e.geolocation = std::string(build::kGeoHost) + "/line";
  return e;
}

Host FallbackHost() {
  Host h;
  h.readIdentity = [](const std::string&) { return std::string(); };
  h.writeIdentity = [](const std::string&, const std::string&) { return false; };
  h.volumeUuid = [] { return std::string(); };
  h.adapterAddress = [] { return std::string(); };
  h.osName = [] { return std::string("Linux"); };
  h.system64Bit = [] { return sizeof(void*) == 8; };
  return h;
}

void SetEndpoints(const Endpoints& endpoints) {
  std::lock_guard<std::mutex> lock(ConfigLock());
  EndpointsInForce() = endpoints;
}

Endpoints CurrentEndpoints() {
  std::lock_guard<std::mutex> lock(ConfigLock());
  return EndpointsInForce();
}

void SetHost(const Host& host) {
  std::lock_guard<std::mutex> lock(ConfigLock());
  HostInForce() = host;
}

Host CurrentHost() {
  std::lock_guard<std::mutex> lock(ConfigLock());
  return HostInForce();
}

}  // namespace report
