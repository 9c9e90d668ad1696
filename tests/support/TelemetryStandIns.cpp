#include "support/TelemetryStandIns.h"

namespace {
// Nothing listens on the discard port of loopback in the test environment.
constexpr const char* kRefused = "http://127.0.0.1:9";
}  // namespace

Ga4CollectStandIn::Ga4CollectStandIn() { Answer(kPath, 204); }

FunnelCollectorStandIn::FunnelCollectorStandIn() {
  Answer(kPath, 200);
  Answer(kTestPath, 200);
}

ExceptionCollectorStandIn::ExceptionCollectorStandIn() { Answer(kPath, 200, "ok"); }

UserServiceStandIn::UserServiceStandIn() {
  Answer(kBaseFile, 200, Url());
  Answer(kQuery, 200, "");
  Answer(kUsage, 200, "ok");
}

GeolocationStandIn::GeolocationStandIn() { Answer(kPath, 200, kAnswer); }

report::Endpoints StandInEndpoints(const Ga4CollectStandIn* ga4, const FunnelCollectorStandIn* funnel,
                                   const UserServiceStandIn* user, const GeolocationStandIn* geo) {
  report::Endpoints e;
  e.ga4Collect = (ga4 ? ga4->Url() : kRefused) + std::string(Ga4CollectStandIn::kPath);
  e.funnelCollect = (funnel ? funnel->Url() : kRefused) + std::string(FunnelCollectorStandIn::kPath);
  e.funnelTestCollect = (funnel ? funnel->Url() : kRefused) + std::string(FunnelCollectorStandIn::kTestPath);
  e.userServiceDefault = user ? user->Url() : kRefused;
  e.userAddressFile = (user ? user->Url() : kRefused) + std::string(UserServiceStandIn::kBaseFile);
  e.geolocation = (geo ? geo->Url() : kRefused) + std::string(GeolocationStandIn::kPath);
  return e;
}
