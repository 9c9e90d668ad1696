#pragma once
// The banner service's signed request and the duration texts its telemetry
// carries. The request is signed with an MD5 over its own query and a salt the
// service shares; the time stamp keeps a signed URL from being replayed later.
#include <cstdint>
#include <string>

struct BannerHosts {
  std::string production;  // "https://host" of the service
  std::string test;        // used under the TestEnv switch
};

// The build's hosts; tests point them at loopback servers.
BannerHosts GetBannerHosts();
void SetBannerHosts(const BannerHosts& hosts);

// "lang_code=%s&parent_pid=%d&timestamp=%lld&type=1" followed by the salt.
std::string BannerSignText(const std::string& langCode, int parentPid, std::int64_t timestamp);

// host + "/api/v1/banners?lang_code=..&parent_pid=..&timestamp=..&type=1&verify=.."
// for the language's web code ("en" outside the table) at the given time.
std::string BannerPicUrlAt(const std::string& host, int parentPid, int language, std::int64_t timestamp);

// "[lo~hi]s" for a duration of whole seconds, in buckets of three:
// 2 -> "[0~3]s", 7 -> "[6~9]s". Negative durations count as 0.
std::string TimeBucketText(std::int64_t seconds);

namespace FuntionImpl {

// The signed URL for now, on the test host under TestEnv and on the
// production host otherwise. Logs " BAN: " with the query and its verify.
std::string GetBannerPicUrl(int parentPid, int language);

}  // namespace FuntionImpl
