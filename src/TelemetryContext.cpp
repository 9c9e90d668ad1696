#include "TelemetryContext.h"

#include "FuntionImpl.h"

std::string CrossEndIdFromPath(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto underscore = name.rfind('_');
  const auto dot = name.rfind('.');
  if (underscore == std::string::npos || dot == std::string::npos || dot < underscore) return {};
  return name.substr(underscore + 1, dot - underscore - 1);
}

void SplitUiLanguage(const std::string& name, std::string& language, std::string& country) {
  const auto underscore = name.find('_');
  if (underscore == std::string::npos) {
    language = country = "Unknown";
    return;
  }
  language = name.substr(0, underscore);
  country = name.substr(underscore + 1);
}

std::string OsText(const std::string& osName, bool system64Bit) {
  return osName + (system64Bit ? " 64bit" : " 32bit");
}

std::string FunnelLanguageCode(int languageId) {
  static const char* const kCodes[] = {"en", "ja", "zh-cn", "es", "de", "fr", "ru", "pt", "ar", "it",
                                       "zh-tw", "ko", "nl", "id", "tr", "hi", "th", "my", "se", "cz"};
  return languageId > 0 && languageId < 20 ? kCodes[languageId] : "en";
}

TelemetryContext MachineTelemetryContext(const std::string& executablePath) {
  TelemetryContext c;
  c.toolsVersion = GetFileVersionString(executablePath);
  c.crossEndId = CrossEndIdFromPath(executablePath);
  float version = 0;
  // A native 64-bit build is never WOW64; what matters is the system's width.
  c.osText = OsText(GetOSName(version), IsSystem64Bit());
  SplitUiLanguage(GetUILanguageName(), c.uiLanguage, c.uiCountry);
  return c;
}
