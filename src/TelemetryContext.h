#pragma once
// The process-wide values every telemetry event carries, and the rules that
// derive them from the machine and the program file.
#include <string>

// What the funnel documents read from the main window.
class ITelemetryWindow {
 public:
  virtual ~ITelemetryWindow() = default;
  virtual std::string ProductVersion() const = 0;  // the configuration's Software_version
  virtual int LanguageId() const = 0;              // EnumLanguage value
};

struct TelemetryContext {
  std::string toolsVersion;  // file version of the program's own executable
  std::string crossEndId;
  std::string osText;  // OS name + " 64bit" / " 32bit"
  std::string uiLanguage = "Unknown";
  std::string uiCountry = "Unknown";
  int siteId = 0;
  std::string productName;
  std::string downloadUrl;
  bool kitFlag = false;
  int mainPid = 0;
  bool isNew = false;
};

// Text between the last "_" and the last "." of the file name (after the last
// "/"); empty without either, or when the "." comes first.
std::string CrossEndIdFromPath(const std::string& path);
// Splits "Language_Country" at the first "_"; both "Unknown" without one.
void SplitUiLanguage(const std::string& name, std::string& language, std::string& country);
std::string OsText(const std::string& osName, bool system64Bit);
// Short language code of the funnel documents ("en" for anything unlisted).
std::string FunnelLanguageCode(int languageId);

// Context of this machine and program (version, ids, OS, language).
TelemetryContext MachineTelemetryContext(const std::string& executablePath);
