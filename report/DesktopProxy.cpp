#include "DesktopProxy.h"

#include <proxy.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>
#include <string_view>

namespace transfer {

namespace {

constexpr std::array<std::string_view, 6> kAcceptedSchemes = {"http://", "https://", "socks4://",
                                                              "socks4a://", "socks5://", "socks5h://"};

bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char p, char c) { return p == std::tolower(static_cast<unsigned char>(c)); });
}

bool AcceptedProxy(const std::string& answer) {
  const bool clean = std::none_of(answer.begin(), answer.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
  });
  const bool scheme = std::any_of(kAcceptedSchemes.begin(), kAcceptedSchemes.end(),
                                  [&](std::string_view s) { return StartsWithNoCase(answer, s); });
  // A scheme with no host after it is no proxy.
  return clean && scheme && answer.find("://") + 3 < answer.size();
}

std::mutex g_factoryLock;

// Made once, kept for the life of the process: threads may still be
// transferring while static objects are destroyed.
pxProxyFactory* Factory() {
  static pxProxyFactory* factory = px_proxy_factory_new();
  return factory;
}

}  // namespace

ProxyChoice ChooseProxy(const std::vector<std::string>& answers) {
  for (const std::string& answer : answers) {
    if (StartsWithNoCase(answer, "direct://")) return {true, {}};
    if (AcceptedProxy(answer)) return {true, answer};
  }
  return {};
}

std::vector<std::string> DesktopProxiesFor(const std::string& url) {
  std::vector<std::string> answers;
  std::lock_guard<std::mutex> lock(g_factoryLock);
  pxProxyFactory* factory = Factory();
  if (factory == nullptr) return answers;
  char** proxies = px_proxy_factory_get_proxies(factory, url.c_str());
  if (proxies == nullptr) return answers;
  for (char** p = proxies; *p != nullptr; ++p) answers.emplace_back(*p);
  px_proxy_factory_free_proxies(proxies);
  return answers;
}

CURLcode UseDesktopProxy(CURL* curl, const std::string& url) {
  const ProxyChoice choice = ChooseProxy(DesktopProxiesFor(url));
  if (!choice.decided) return CURLE_OK;
  return curl_easy_setopt(curl, CURLOPT_PROXY, choice.proxy.c_str());
}

}  // namespace transfer
