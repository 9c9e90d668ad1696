#include "platform/ProxySettings.h"

#include <cstdlib>
#include <initializer_list>

namespace platform {
namespace {

std::string First(const EnvReader& env, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = env(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

}  // namespace

ProxyConfig ReadProxyConfig(const EnvReader& reader) {
  const EnvReader env = reader ? reader : EnvReader([](const char* name) { return std::getenv(name); });
  ProxyConfig config;
  config.autoConfigUrl = First(env, {"auto_proxy", "AUTO_PROXY"});
  config.proxy = First(env, {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"});
  config.bypass = First(env, {"no_proxy", "NO_PROXY"});
  return config;
}

}  // namespace platform
