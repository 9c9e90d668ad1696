#pragma once
// The download-configuration service: where the current package is, its
// size and checksum. The window's background thread asks as soon as the window
// opens; the install worker takes over when it starts. One lock makes the
// background query-and-parse and the worker's query-and-parse take turns.
#include <atomic>
#include <mutex>
#include <string>

#include "CConfigure.h"

struct ConfigQueryEndpoints {
  std::string primary;  // "https://host" of the service
  std::string mirror;   // its mainland-China mirror
  std::string test;     // plain-HTTP test endpoint (TestEnv)
};

// The build's endpoints; tests point them at loopback servers.
ConfigQueryEndpoints QueryEndpoints();
void SetQueryEndpoints(const ConfigQueryEndpoints& endpoints);

// base + "/queryDownloaderV2?LanguageId=%d&SoftWareID=%d&SiteID=%d%s", the
// suffix "&package_type=5" below Windows 10's version value.
std::string BuildQueryUrl(const std::string& base, int languageId, int downloaderId, int siteId,
                          float osVersion);

// The <Downloader> element of a reply (both tags included), or empty.
std::string ExtractDownloaderElement(const std::string& reply);

// The lock that the background query and the worker hold across query and parse.
std::mutex& ConfigExchangeLock();

// The window's background query: primary, then mirror, then parse, unless
// the worker has started meanwhile (abandoned).
void AsyncGetCbsInfo(CConfigure& config, const std::atomic<bool>& abandoned);

// The worker's readiness steps: sets abandoned, then service, mirror and the
// embedded file as the last resort; prints the record when ready.
void MakeConfigurationReady(CConfigure& config, std::atomic<bool>& abandoned, const IConfigItemSource& window);
