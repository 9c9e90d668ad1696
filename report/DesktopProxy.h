#pragma once
// The desktop's proxy for each transfer, as libproxy reads it (environment,
// GNOME, KDE, PAC), handed to every libcurl handle of the program. Only
// http, https and socks proxies are taken; "direct://" means no proxy. When
// libproxy cannot be used or names nothing usable, the handle is left alone
// and libcurl falls back to the proxy environment variables.
#include <curl/curl.h>

#include <string>
#include <vector>

namespace transfer {

// What libproxy's list of answers means for one transfer.
struct ProxyChoice {
  bool decided = false;  // false: leave the handle to the environment
  std::string proxy;     // empty when decided: go direct
};

// The first answer that is "direct://" or a proxy of an accepted scheme
// (http, https, socks4, socks4a, socks5, socks5h) without blanks or control
// characters; other answers are skipped.
ProxyChoice ChooseProxy(const std::vector<std::string>& answers);

// libproxy's answers for url, in its order; empty when libproxy has none or
// its factory cannot be made. One factory per process, made on first use and
// used under a lock (libproxy does not promise thread safety).
std::vector<std::string> DesktopProxiesFor(const std::string& url);

// Sets CURLOPT_PROXY of curl for url from the desktop's answer ("" for
// direct). CURLE_OK when nothing needed setting.
CURLcode UseDesktopProxy(CURL* curl, const std::string& url);

}  // namespace transfer
