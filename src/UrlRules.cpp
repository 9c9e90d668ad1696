#include "UrlRules.h"

bool IsCdnUrl(const std::string& url) {
  return url.find("//cdn.") != std::string::npos || url.find("//dl.") != std::string::npos;
}
