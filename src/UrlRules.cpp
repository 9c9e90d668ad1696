#include "UrlRules.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "BuildSettings.h"
#include "platform/SafeNames.h"

bool IsCdnUrl(const std::string& url) {
  return url.find("//cdn.") != std::string::npos || url.find("//dl.") != std::string::npos;
}

std::string GetUrlHost(const std::string& url) {
  const auto dot = url.find('.');
  if (url.empty() || dot == std::string::npos) return "";
  const auto end = url.find('/', dot);
  const auto slash = url.rfind('/', dot);
  if (end == std::string::npos || slash == std::string::npos) return "";
  std::string host = url.substr(slash + 1, end - slash - 1);
  std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
  return host;
}

int GetDownloadAddressType(const std::string& url) {
  const std::string host = GetUrlHost(url);
  if (host.size() < 2 || host.rfind("dl.", 0) == 0 || host.rfind("cdn.", 0) == 0) return 10;
  for (const char* regional : build::kRegionalCdnHosts) {
    if (host == regional) return 12;
  }
  if (host.find("ali") != std::string::npos) return 12;
  if (host == build::kSecondaryCdnHost) return 13;
  return 11;
}

bool IsWebUrl(const std::string& url) {
  const auto startsWith = [&url](std::string_view scheme) {
    return url.size() > scheme.size() &&
           std::equal(scheme.begin(), scheme.end(), url.begin(), [](char a, char b) {
             return a == std::tolower(static_cast<unsigned char>(b));
           });
  };
  return startsWith("http://") || startsWith("https://");
}

bool IsExeUrl(const std::string& url) {
  return url.size() <= 3 || url.compare(url.size() - 4, 4, ".exe") == 0;
}

std::string InstallerFileNameFor(const std::string& extraUrl, const std::string& version) {
  std::string name = extraUrl.substr(extraUrl.rfind('/') + 1);
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
  name += "_" + version + (IsExeUrl(extraUrl) ? ".exe" : ".apk");
  // The version comes from the server: a name starting ".." is refused too,
  // so no reading of it climbs out of the work folder.
  return platform::IsPlainFileName(name) && name.rfind("..", 0) != 0 ? name : "";
}

std::string FirstServiceUrl(const std::vector<std::string>& urls) {
  for (const std::string& url : urls) {
    if (!IsCdnUrl(url)) return url;
  }
  return "";
}
