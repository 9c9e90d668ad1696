#pragma once
// Stand-ins of the telemetry services, each a StandInServer with the paths
// and default answers of its service:
// - GA4 collect: "/g/collect" answers 204;
// - funnel collector: "/collect" and "/collector" answer 200;
// - exception collector: "/api/exception/send" answers 200 "ok";
// - user service: "/base.txt" names the service itself, "/QueryUser" answers
//   "" (unknown user), "/AddUserLog" answers "ok";
// - geolocation: "/line" answers a "success" line for 203.0.113.7.
#include <json/json.h>

#include <sstream>
#include <string>

#include "ReportConfig.h"
#include "support/StandInServer.h"

struct Ga4CollectStandIn : StandInServer {
  Ga4CollectStandIn();
  static constexpr const char* kPath = "/g/collect";
};

struct FunnelCollectorStandIn : StandInServer {
  FunnelCollectorStandIn();
  static constexpr const char* kPath = "/collect";
  static constexpr const char* kTestPath = "/collector";
};

struct ExceptionCollectorStandIn : StandInServer {
  ExceptionCollectorStandIn();
  static constexpr const char* kPath = "/api/exception/send";
};

struct UserServiceStandIn : StandInServer {
  UserServiceStandIn();
  static constexpr const char* kBaseFile = "/base.txt";
  static constexpr const char* kQuery = "/QueryUser";
  static constexpr const char* kUsage = "/AddUserLog";
};

struct GeolocationStandIn : StandInServer {
  GeolocationStandIn();
  static constexpr const char* kPath = "/line";
  static constexpr const char* kAnswer = "success,Japan,JP,13,Tokyo,Shinjuku,160-0022,35.69,139.70,203.0.113.7";
};

// Endpoints aimed at the stand-ins; a null stand-in gets a refused address.
report::Endpoints StandInEndpoints(const Ga4CollectStandIn* ga4, const FunnelCollectorStandIn* funnel,
                                   const UserServiceStandIn* user, const GeolocationStandIn* geo);

// A collector's JSON body; null when it does not parse.
inline Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(text);
  Json::parseFromStream(builder, in, &value, &errors);
  return value;
}
