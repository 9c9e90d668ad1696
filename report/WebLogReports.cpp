// WebLog: GA4 hits and funnel reports.
#include <cstdio>

#include "CollectorDocument.h"
#include "Guid.h"
#include "ReportText.h"
#include "WebLog.h"

namespace {

constexpr const char* kJsonHeader = "Content-Type:application/json; charset=utf-8";

}  // namespace

std::string WebLog::ReadProxyWord() const { return report::ProxyWordFromFile(baseFolder_ + "/proxy.txt"); }

int WebLog::PostGa4Hit(const std::string& hit) {
  if (hit.empty()) return -2;
  const std::string clientId = report::ClientId(host_.volumeUuid(), host_.adapterAddress());
  const std::string url = endpoints_.ga4Collect + "?v=2&cid=" + clientId + report::EscapeHitText(hit);
  // A proxy once configured stays: a blank or missing file changes nothing.
  if (const std::string proxy = ReadProxyWord(); !proxy.empty()) http_.SetProxy(proxy);
  if (http_.Post(url, kJsonHeader, "") != 0) return -3;
  http_.GetResponse();
  return http_.GetResponseCode() == 204 ? 0 : -1;
}

std::string WebLog::MachineId() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!machineId_.empty()) return machineId_;
  }
  const std::string volume = host_.volumeUuid();
  if (volume.empty()) return {};
  const std::string id = report::Md5Hex(volume);
  std::lock_guard<std::mutex> lock(mutex_);
  if (machineId_.empty()) machineId_ = id;
  return machineId_;
}

int WebLog::SoftDataReport(const std::string& document) {
  const Json::Value input = report::ParseInputDocument(document);
  report::CollectorFacts facts;
  facts.uid = MachineId();
  facts.sessionId = report::SessionId();
  facts.osVersion = report::OsVersionText(host_.osName(), host_.system64Bit());
  facts.ts = report::LocalEpochMillis();
  std::string url = endpoints_.funnelCollect;
  if (std::FILE* test = std::fopen((baseFolder_ + "/test").c_str(), "r")) {
    std::fclose(test);
    url = endpoints_.funnelTestCollect;
  }
  const std::string body = report::StyledJson(report::BuildCollectorDocument(input, facts));
  CurlHttpClient client(&cancel_);
  if (const std::string proxy = ReadProxyWord(); !proxy.empty()) client.SetProxy(proxy);
  const int rc = client.Post(url, kJsonHeader, body);
  if (rc != 0) return rc;
  return client.GetResponseCode() - 200;
}
