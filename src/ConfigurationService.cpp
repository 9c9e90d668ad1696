#include "ConfigurationService.h"

#include <cstdio>

#include "BuildSettings.h"
#include "CLibcurlTool.h"
#include "FuntionImpl.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "UrlRules.h"

namespace {

std::mutex g_endpointsMutex;
ConfigQueryEndpoints g_endpoints{build::kConfigServiceHost, build::kConfigMirrorHost, build::kConfigTestHost};

constexpr std::size_t kMinEndTagDistance = 12;

std::string HostOf(const std::string& base) {
  const auto start = base.find("//");
  const std::string rest = start == std::string::npos ? base : base.substr(start + 2);
  return rest.substr(0, rest.find_first_of("/:"));
}

void ReportTransferError(CURLcode code) {
  if (code == CURLE_COULDNT_RESOLVE_HOST) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL003", false);
  } else if (code == CURLE_OPERATION_TIMEDOUT) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL002", false);
  }
}

}  // namespace

ConfigQueryEndpoints QueryEndpoints() {
  std::lock_guard<std::mutex> lock(g_endpointsMutex);
  return g_endpoints;
}

void SetQueryEndpoints(const ConfigQueryEndpoints& endpoints) {
  std::lock_guard<std::mutex> lock(g_endpointsMutex);
  g_endpoints = endpoints;
}

std::string BuildQueryUrl(const std::string& base, int languageId, int downloaderId, int siteId,
                          float osVersion) {
  char url[512] = {};
  std::snprintf(url, sizeof url, "%s/queryDownloaderV2?LanguageId=%d&SoftWareID=%d&SiteID=%d%s", base.c_str(),
                languageId, downloaderId, siteId, osVersion < 10.0f ? "&package_type=5" : "");
  return url;
}

std::string ExtractDownloaderElement(const std::string& reply) {
  const auto start = reply.find("<Downloader>");
  if (start == std::string::npos) return "";
  const auto end = reply.find("</Downloader>", start + kMinEndTagDistance);
  if (end == std::string::npos) return "";
  return reply.substr(start, end + std::string("</Downloader>").size() - start);
}

std::mutex& ConfigExchangeLock() {
  static std::mutex lock;
  return lock;
}

int CConfigure::getDownloadInfoXml(bool sync, bool mirror) {
  if (downloadInfoXml && !downloadInfoXml->empty()) return 0;
  const std::int64_t started = TickCountMs();
  float osVersion = 0;
  const std::string osName = GetOSName(osVersion);
  const ConfigQueryEndpoints endpoints = QueryEndpoints();
  const bool test = IsTestEnv();
  const std::string base = test ? endpoints.test : mirror ? endpoints.mirror
                                                          : endpoints.primary;
  const char* label = test ? "test" : mirror ? "cn"
                                             : "com";
  queryUrl = BuildQueryUrl(base, Language_id, Downloader_id, Site_id, osVersion);

  std::string reply;
  CURLcode code = CURLE_OK;
  {
    CLibcurlTool tool;  // one transfer object per query, bounded to 5 seconds
    code = tool.httpGet(queryUrl, reply, false);
  }
  ReportTransferError(code);
  QMLOG(" GetCbsInfo New interface V2(" << (sync ? "Sync " : "Async ") << label << "): " << code << ", "
                                        << reply.size() << ", " << osName << ", " << osVersion);
  const auto seconds = static_cast<unsigned>((TickCountMs() - started) / 1000);
  CSingleUserLog::GetInstance()->AddUserLog("Other", sync ? "SyncGetCbsTime" : "AsyncGetCbsTime",
                                            std::to_string(seconds), false);
  std::string element = ExtractDownloaderElement(reply);
  if (element.empty()) return 0;
  downloadInfoXml = std::move(element);
  CSingleUserLog::GetInstance()->AddUserLog_funnelEx(
      "Download", "Get download configuration",
      {{"Download configurationType", "Success"},
       {"Configuration URL", HostOf(mirror ? endpoints.mirror : endpoints.primary)}},
      false);
  return 1;
}

void AsyncGetCbsInfo(CConfigure& config, const std::atomic<bool>& abandoned) {
  std::lock_guard<std::mutex> lock(ConfigExchangeLock());
  const int first = config.getDownloadInfoXml(false, false);
  if (!abandoned && first != 1) config.getDownloadInfoXml(false, true);
  if (abandoned) {
    QMLOG(" GetDownloaderInfo(Async) abandon");
    return;
  }
  config.parseDownloadInfoXml();
}

void MakeConfigurationReady(CConfigure& config, std::atomic<bool>& abandoned, const IConfigItemSource& window) {
  abandoned = true;
  std::lock_guard<std::mutex> lock(ConfigExchangeLock());
  if (config.status != CConfigure::kReady) {
    if (config.getDownloadInfoXml(true, false) != 1) config.getDownloadInfoXml(true, true);
    config.parseDownloadInfoXml();
    if (config.status != CConfigure::kReady) config.loadFromLayout(window, true);
  }
  if (config.status == CConfigure::kReady) config.printContent();
}
