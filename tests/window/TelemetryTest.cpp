// The window's telemetry reaches the collectors: GA4 hits and funnel
// documents that carry the product version and the interface language.
#include <curl/curl.h>
#include <json/reader.h>

#include <sstream>

#include "ReportConfig.h"
#include "ReportHost.h"
#include "WindowTestSupport.h"
#include "support/TelemetryStandIns.h"

namespace {

class WindowTelemetry : public MainWindowTest {
 protected:
  WindowTelemetry() {
    static const bool initialised = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    (void)initialised;
    telemetry_.ReportHost(ProgramReportHost()).ReportEndpoints(StandInEndpoints(&ga4_, &funnel_, &user_, &geo_));
  }
  ~WindowTelemetry() override {
    CloseAndJoin();
    if (log_) log_->WaitThreadForExit();
  }

  Ga4CollectStandIn ga4_;
  FunnelCollectorStandIn funnel_;
  UserServiceStandIn user_;
  GeolocationStandIn geo_;
  std::unique_ptr<CSingleUserLog> log_;
  ScopedTestProcess telemetry_;  // last: restores before the stand-ins stop
};

}  // namespace

TEST_F(WindowTelemetry, CollectorsReceiveTheWindowsHitsAndFunnelDocuments) {
  UserLogSettings settings;
  settings.idlePollMs = 5;
  settings.disabled = false;
  log_ = CSingleUserLog::CreateStandalone(settings);
  log_->InitLogPath("markeraser_setup");
  auto options = Options();
  options.userLog = log_.get();
  Open(std::move(options));
  const auto launchHit = [&] {
    for (const auto& hit : ga4_.Received(Ga4CollectStandIn::kPath)) {
      if (hit.query.find("ep.qm_action=1.Launch") != std::string::npos) return true;
    }
    return false;
  };
  const auto launchDocument = [&]() -> Json::Value {
    for (const auto& r : funnel_.Received(FunnelCollectorStandIn::kPath)) {
      const Json::Value doc = ParseJson(r.body);
      if (doc["actions"][0]["event_action"].asString() == "Launch") return doc;
    }
    return Json::Value();
  };
  ASSERT_TRUE(WaitFor([&] { return launchHit() && !launchDocument().isNull(); }));
  const Json::Value doc = launchDocument();
  EXPECT_EQ(doc["common"]["product_version"].asString(), "1.0.0.0");
  EXPECT_EQ(doc["common"]["tools_lang"].asString(), "en");
  EXPECT_EQ(doc["actions"][0]["core_func_name"].asString(), "BeforeDownload");
}
