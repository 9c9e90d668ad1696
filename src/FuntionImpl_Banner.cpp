// The banner service's signed request.
#include "FuntionImpl_Banner.h"

#include <ctime>
#include <mutex>

#include "BuildSettings.h"
#include "FuntionImpl.h"
#include "LanguageTables.h"
#include "Logger.h"
#include "TestSettings.h"

namespace {

constexpr const char* kBannerSalt = "Tz8wKd3PqYn6mV1c";

std::mutex g_hostsLock;
BannerHosts& Hosts() {
  static BannerHosts hosts{build::kBannerHost, build::kBannerTestHost};
  return hosts;
}

std::string Query(const std::string& langCode, int parentPid, std::int64_t timestamp) {
  return "lang_code=" + langCode + "&parent_pid=" + std::to_string(parentPid) +
         "&timestamp=" + std::to_string(timestamp) + "&type=1";
}

}  // namespace

BannerHosts GetBannerHosts() {
  std::lock_guard<std::mutex> lock(g_hostsLock);
  return Hosts();
}

void SetBannerHosts(const BannerHosts& hosts) {
  std::lock_guard<std::mutex> lock(g_hostsLock);
  Hosts() = hosts;
}

std::string BannerSignText(const std::string& langCode, int parentPid, std::int64_t timestamp) {
  return Query(langCode, parentPid, timestamp) + kBannerSalt;
}

std::string BannerPicUrlAt(const std::string& host, int parentPid, int language, std::int64_t timestamp) {
  const std::string code = WebLanguageCode(language);
  const std::string verify = GetMd5Hex(BannerSignText(code, parentPid, timestamp));
  return host + "/api/v1/banners?" + Query(code, parentPid, timestamp) + "&verify=" + verify;
}

std::string TimeBucketText(std::int64_t seconds) {
  const std::int64_t lo = seconds < 0 ? 0 : seconds / 3 * 3;
  return "[" + std::to_string(lo) + "~" + std::to_string(lo + 3) + "]s";
}

namespace FuntionImpl {

std::string GetBannerPicUrl(int parentPid, int language) {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  const BannerHosts hosts = GetBannerHosts();
  const std::string url = BannerPicUrlAt(IsTestEnv() ? hosts.test : hosts.production, parentPid, language, now);
  const std::string code = WebLanguageCode(language);
  QMLOG(" BAN: " << Query(code, parentPid, now)
                 << "&verify=" << GetMd5Hex(BannerSignText(code, parentPid, now)));
  return url;
}

}  // namespace FuntionImpl
