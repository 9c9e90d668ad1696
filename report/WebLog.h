#pragma once
// The reporting object: the user identity and usage log of the maker's user
// service, GA4 hits and funnel reports. One object serves several threads;
// the user-service values are filled by the first caller that finds them
// empty and then kept (under the object's lock, never across a request).
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "CurlHttpClient.h"
#include "IWebLog.h"
#include "ReportConfig.h"

class WebLog : public IWebLog {
 public:
  // baseFolder holds "proxy.txt" and "test"; CreateExportObj passes the
  // current directory.
  WebLog(report::Endpoints endpoints, report::Host host, std::string baseFolder);
  ~WebLog() override = default;
  WebLog(const WebLog&) = delete;
  WebLog& operator=(const WebLog&) = delete;

  int ReportUsage(int opId, int result, const std::string& resultData, int softwareId, int languageId,
                  int siteId, const std::string& curVersion, const std::string& email, int activityId,
                  int versionId) override;
  int GetUserInfo(std::string& guid, std::string& userId) override;
  int SoftDataReport(const std::string& document) override;
  int PostGa4Hit(const std::string& hit) override;

  // Ends transfers in flight and makes later ones fail at once; used when the
  // process must stop without waiting for a slow service.
  void CancelTransfers();

  std::string ServiceBaseAddress() const;

 private:
  void ResolveServiceBase();
  // Steps of the identity: false when the user must be created.
  bool QueryUser(const std::string& recordGuid, const std::string& recordUserId);
  void CreateUser();
  void LookUpLocation();
  bool LocationKnown() const;
  std::string MachineId();
  std::string UsageUrl(int opId, int result, const std::string& resultData, int softwareId,
                       int languageId, int siteId, const std::string& curVersion,
                       const std::string& email, int activityId, int versionId) const;
  std::string ReadProxyWord() const;

  const report::Endpoints endpoints_;
  const report::Host host_;
  const std::string baseFolder_;
  const std::chrono::steady_clock::time_point created_;
  std::atomic<bool> cancel_{false};
  CurlHttpClient http_;

  mutable std::mutex mutex_;
  std::string serviceBase_;
  std::string guid_;
  std::string userId_;
  std::string country_;
  std::string city_;
  std::string publicAddress_;
  std::string machineId_;
  unsigned useTime_ = 0;
};
