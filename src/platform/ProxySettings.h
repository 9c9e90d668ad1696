#pragma once
// The user's proxy settings as a Linux desktop hands them to programs: the
// proxy environment variables (libcurl reads the same variables for every
// transfer, so they are only logged here).
#include <functional>
#include <string>

namespace platform {

struct ProxyConfig {
  std::string autoConfigUrl;  // auto_proxy
  std::string proxy;          // https_proxy, http_proxy, all_proxy (either case), first set
  std::string bypass;         // no_proxy
};

using EnvReader = std::function<const char*(const char*)>;
ProxyConfig ReadProxyConfig(const EnvReader& env = nullptr);

}  // namespace platform
