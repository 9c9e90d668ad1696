#include "CdnFailureCounter.h"

#include "CConfigure.h"
#include "FuntionImpl.h"

namespace {
constexpr const char* kValueName = "RequestTooMuchTimes";
}

std::string ProductUninstallKey(const std::string& softwareName) {
  return "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + softwareName;
}

bool GetRequestTooMuchTimes(const std::string& softwareName, std::string& text) {
  const std::string value = RegGetString(ProductUninstallKey(softwareName), kValueName);
  if (value.empty()) return false;
  text = value;
  return true;
}

bool SetRequestTooMuchTimes(const std::string& softwareName, const std::string& text) {
  return RegSetString(ProductUninstallKey(softwareName), kValueName, text);
}

void AddRequestTooMuchTimes(const std::string& softwareName) {
  std::string text;
  const std::int64_t count = GetRequestTooMuchTimes(softwareName, text) ? DecimalValue(text) : 0;
  SetRequestTooMuchTimes(softwareName, std::to_string(count >= 1 ? count + 1 : 1));
}

bool isForbidCDN(const std::string& softwareName) {
  std::string text;
  return GetRequestTooMuchTimes(softwareName, text) && DecimalValue(text) > 3;
}
