#pragma once
// Where the reporting objects send their traffic and how they learn the facts
// of the machine. Both are process-wide and read when an object is created:
// the program installs its own host at start; tests point the endpoints at
// loopback servers. Without an installed host the module still works with a
// shorter client id and an identity kept for the object only.
#include <functional>
#include <string>

namespace report {

struct Endpoints {
  std::string ga4Collect;          // GA4 collect URL (path "/g/collect")
  std::string funnelCollect;       // production funnel collector ("/collect")
  std::string funnelTestCollect;   // collector used when a "test" file exists ("/collector")
  std::string userServiceDefault;  // built-in base address of the user service
  std::string userAddressFile;     // text file naming the user service's base address
  std::string geolocation;         // one-line comma-separated geolocation answer
};

struct Host {
  // Identity record values ("guid", "user_id"); empty when absent.
  std::function<std::string(const std::string& name)> readIdentity;
  std::function<bool(const std::string& name, const std::string& value)> writeIdentity;
  std::function<std::string()> volumeUuid;      // system volume's UUID text, empty when unknown
  std::function<std::string()> adapterAddress;  // "aa:bb:cc:dd:ee:ff" of the default route
  std::function<std::string()> osName;
  std::function<bool()> system64Bit;
};

// The endpoints of this build.
Endpoints BuildEndpoints();
// Stand-in facts: no identity store, no volume or adapter, "Linux".
Host FallbackHost();

void SetEndpoints(const Endpoints& endpoints);
Endpoints CurrentEndpoints();
void SetHost(const Host& host);
Host CurrentHost();

}  // namespace report
