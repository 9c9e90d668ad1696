#pragma once
// The reporting interface through which all telemetry traffic goes. Every
// operation is a blocking call; all errors are reported through the return
// value, nothing throws. Implementations accept calls from several threads.
#include <string>

class IWebLog {
 public:
  virtual ~IWebLog() = default;

  // One record of the user service's usage log: 0, or -1 when not sent.
  virtual int ReportUsage(int opId, int result, const std::string& resultData, int softwareId,
                          int languageId, int siteId, const std::string& curVersion,
                          const std::string& email, int activityId, int versionId) = 0;
  // Establishes the user identity (record, user service); always 0. Either
  // output may be empty.
  virtual int GetUserInfo(std::string& guid, std::string& userId) = 0;
  // Posts one funnel document: 0 for HTTP 200, status - 200 for another
  // status, the (positive) libcurl code when the exchange failed.
  virtual int SoftDataReport(const std::string& document) = 0;
  // Posts one GA4 hit: 0 for HTTP 204, -1 other status, -2 empty hit, -3 no
  // exchange.
  virtual int PostGa4Hit(const std::string& hit) = 0;
};
