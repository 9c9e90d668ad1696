#include "WebLog.h"

#include <cstdio>

#include "Geolocation.h"
#include "Guid.h"
#include "HttpGetText.h"

namespace {

constexpr const char* kIdentityGuid = "guid";
constexpr const char* kIdentityUserId = "user_id";
constexpr const char* kNewUserId = "1001";

std::string Digits8(int value) {
  char text[24];
  std::snprintf(text, sizeof text, "%08d", value);
  return text;
}

}  // namespace

WebLog::WebLog(report::Endpoints endpoints, report::Host host, std::string baseFolder)
    : endpoints_(std::move(endpoints)),
      host_(std::move(host)),
      baseFolder_(std::move(baseFolder)),
      created_(std::chrono::steady_clock::now()),
      http_(&cancel_),
      serviceBase_(endpoints_.userServiceDefault) {}

void WebLog::CancelTransfers() { cancel_ = true; }

std::string WebLog::ServiceBaseAddress() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return serviceBase_;
}

void WebLog::ResolveServiceBase() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string text;
    if (HttpGetText(endpoints_.userAddressFile, text, &cancel_) != 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    serviceBase_ = text.find("http") != std::string::npos ? text : endpoints_.userServiceDefault;
    return;
  }
}

bool WebLog::QueryUser(const std::string& recordGuid, const std::string& recordUserId) {
  const std::string url = ServiceBaseAddress() + "/QueryUser?guid=" + recordGuid;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string answer;
    if (HttpGetText(url, answer, &cancel_) != 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    guid_ = recordGuid;
    userId_ = answer.empty() ? recordUserId : answer;
    return !answer.empty();
  }
  return true;  // service unreachable: keep what we had, create nobody
}

void WebLog::CreateUser() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    report::Guid guid;
    if (guid_.empty() && report::NewGuid(guid)) guid_ = report::FormatUserGuid(guid);
  }
  if (!LocationKnown()) LookUpLocation();
  std::string guid;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    userId_ = kNewUserId;
    guid = guid_;
  }
  // Without a writable record the identity serves this object only.
  host_.writeIdentity(kIdentityGuid, guid);
  host_.writeIdentity(kIdentityUserId, kNewUserId);
}

int WebLog::GetUserInfo(std::string& guid, std::string& userId) {
  ResolveServiceBase();
  const std::string recordGuid = host_.readIdentity(kIdentityGuid);
  const std::string recordUserId = host_.readIdentity(kIdentityUserId);
  bool known = false;
  if (recordGuid.empty() || recordUserId.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    guid_ = recordGuid;
    userId_ = recordUserId;
  } else {
    known = QueryUser(recordGuid, recordUserId);
  }
  if (!known) CreateUser();
  std::lock_guard<std::mutex> lock(mutex_);
  guid = guid_;
  userId = userId_;
  return 0;
}

bool WebLog::LocationKnown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !country_.empty() && !publicAddress_.empty();
}

void WebLog::LookUpLocation() {
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::string answer;
    report::Location location;
    if (HttpGetText(endpoints_.geolocation, answer, &cancel_) != 0) continue;
    if (!report::ParseGeolocation(answer, location)) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    country_ = location.country;
    city_ = location.city;
    publicAddress_ = location.publicAddress;
    return;
  }
}

std::string WebLog::UsageUrl(int opId, int result, const std::string& resultData, int softwareId,
                             int languageId, int siteId, const std::string& curVersion,
                             const std::string& email, int activityId, int versionId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return serviceBase_ + "/AddUserLog?USER_ID=" + userId_ + "&OP_ID=" + Digits8(opId) +
         "&SoftWareID=" + Digits8(softwareId) + "&RegEmail=" + email + "&UseTime=" +
         (useTime_ != 0 ? std::to_string(useTime_) : "") + "&Location=" + country_ + "&City=" + city_ +
         "&OutIP=" + publicAddress_ + "&LanguageId=" + Digits8(languageId) + "&Result=" +
         Digits8(result) + "&ResultData=" + resultData + "&SiteID=" + Digits8(siteId) +
         "&CurVersion=" + curVersion + "&ActivityID=" + Digits8(activityId) +
         "&VersionID=" + Digits8(versionId);
}

int WebLog::ReportUsage(int opId, int result, const std::string& resultData, int softwareId,
                        int languageId, int siteId, const std::string& curVersion,
                        const std::string& email, int activityId, int versionId) {
  if (opId == 10202) {
    const auto used = std::chrono::steady_clock::now() - created_;
    std::lock_guard<std::mutex> lock(mutex_);
    useTime_ = static_cast<unsigned>(std::chrono::duration_cast<std::chrono::seconds>(used).count());
  }
  if (opId == 0) return -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (softwareId == 0 || guid_.empty()) return -1;
  }
  if (!LocationKnown()) LookUpLocation();
  std::string answer;
  return HttpGetText(UsageUrl(opId, result, resultData, softwareId, languageId, siteId, curVersion,
                              email, activityId, versionId),
                     answer, &cancel_) == 0
             ? 0
             : -1;
}
