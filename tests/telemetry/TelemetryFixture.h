#pragma once
// Shared set-up of the telemetry tests: libcurl initialised, a scratch
// folder holding the registry store, stand-ins for every telemetry service,
// and the reporting endpoints aimed at them.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include <memory>
#include <sstream>
#include <string>

#include "FuntionImpl.h"
#include "ReportConfig.h"
#include "ReportHost.h"
#include "platform/RegistryStore.h"
#include "support/ScopedTestProcess.h"
#include "support/TelemetryStandIns.h"
#include "support/TempDir.h"

class TelemetryTest : public ::testing::Test {
 protected:
  TelemetryTest() {
    static const bool initialised = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    (void)initialised;
    process_.RegistryRoot(dir_.path())
        .ReportHost(ProgramReportHost())
        .ReportEndpoints(StandInEndpoints(&ga4_, &funnel_, &user_, &geo_));
  }

  static std::string Identity(const std::string& name) { return RegGetString("SOFTWARE\\RuviRovazed", name); }

  TempDir dir_;
  Ga4CollectStandIn ga4_;
  FunnelCollectorStandIn funnel_;
  UserServiceStandIn user_;
  GeolocationStandIn geo_;
  ScopedTestProcess process_;  // last: restores before the stand-ins stop
};
