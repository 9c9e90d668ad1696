#include "Common/StartupRules.h"

#include <cstdio>

#include "CConfigure.h"
#include "UrlRules.h"

StartupValues ReadStartupValues(const std::vector<std::pair<std::string, std::string>>& items) {
  StartupValues values;
  bool urlTaken = false;
  for (const auto& [name, text] : items) {
    if (name == "Downloader_id") {
      values.downloaderIdText = text;
      values.downloaderId = static_cast<int>(DecimalValue(text));
    } else if (name == "Site_id") {
      values.siteId = static_cast<int>(DecimalValue(text));
    } else if (name == "Software_name") {
      values.softwareName = text;
    } else if (name == "Software_version") {
      values.softwareVersion = text;
    } else if (name == "Download_url" || name == "Extra_download_url") {
      if (!urlTaken && !IsCdnUrl(text)) {
        values.downloadUrl = text;
        urlTaken = true;
      }
    } else if (name == "MainPid") {
      values.mainPid = static_cast<int>(DecimalValue(text));
    } else if (name == "Support32System") {
      values.support32System = text;
    }
  }
  return values;
}

std::string LogStemFromUrl(const std::string& url) {
  const auto slash = url.rfind('/');
  if (slash == std::string::npos) return "";
  const auto dot = url.find('.', slash + 1);
  if (dot == std::string::npos) return "";
  return url.substr(slash + 1, dot - slash - 1);
}

CommandLine ParseCommandLine(const std::string& tail) {
  CommandLine cmd;
  cmd.debug = tail == "debug";
  if (const auto dmp = tail.find("-dmp "); dmp != std::string::npos) {
    cmd.mode = CommandLine::Mode::kCrashDump;
    cmd.logFileName = tail.substr(dmp + 5);
    cmd.reason = "CrashDmp";
  } else if (const auto close = tail.find("-close"); close != std::string::npos) {
    cmd.mode = CommandLine::Mode::kClose;
    // Position 0 holds the "-" of the form the window itself writes.
    cmd.reason = tail.substr(1, 7);
    cmd.logFileName = close + 9 <= tail.size() ? tail.substr(close + 9) : "";
  }
  return cmd;
}

std::string CommandLineTail(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return tail;
}

std::string InstanceLockName(int downloaderId) {
  char name[64] = {};
  std::snprintf(name, sizeof name, "KLM_Downloader_%d", downloaderId);
  return name;
}

std::string WindowClassNameFor(const std::string& downloaderIdText) {
  return downloaderIdText.empty() ? "" : "QM_UI_Frame_" + downloaderIdText;
}

bool KitFlagFor(int downloaderId) { return downloaderId == 277 || downloaderId == 278; }

bool ShouldRefuse32Bit(const std::string& support32System, bool systemIs32Bit) {
  return support32System == "0" && systemIs32Bit;
}
