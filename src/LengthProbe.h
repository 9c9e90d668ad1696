#pragma once
// Learns the length of one remote file by header probes, following Location
// itself, and reports what the CDN said about it. Remembers the final
// location and the validators of the last accepted answer; lengths and
// validators are also kept per URL for later runs of the process.
#include <curl/curl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "DownloadTimings.h"
#include "HttpHeaderText.h"

class CSingleUserLog;

class LengthProbe {
 public:
  // Null userLog: the process's telemetry queue.
  LengthProbe(const std::string& url, const std::string& localPath, const DownloadTimings& timings,
              CSingleUserLog* userLog = nullptr);

  // Remote length, from this process's earlier answer for the URL when there
  // is one; 0 on failure. The URL becomes the final location.
  std::int64_t getContentLength(CURLcode& code, std::string& cdnResult, int logFlag);
  // The probe itself, without the remembered answers.
  std::int64_t askContentLength(CURLcode& code, std::string& cdnResult, int logFlag);
  // Up to kTries probes, kept within the probe budget; with records (the
  // generation's path, which may use a remembered answer) the outcome of
  // each try is appended, else every try asks the server afresh.
  std::int64_t probeLength(CURLcode& code, std::string& cdnResult, int logFlag, std::vector<std::string>* records);
  // probeLength with records, padded to kTries and reported under tag (none
  // when tag is empty).
  std::int64_t measure(const std::string& tag, CURLcode& code, std::string& cdnResult, int logFlag);

  const std::string& url() const { return m_url; }
  const Validators& validators() const { return m_validators; }

  // The remembered length and validators of url proved stale.
  static void Forget(const std::string& url, CSingleUserLog* userLog = nullptr);

  static constexpr int kTries = 10;

 private:
  void reportCdn(const std::string& headers, std::string& cdnResult);

  std::string m_url;
  std::string m_localPath;
  DownloadTimings m_timings;
  CSingleUserLog& m_log;
  Validators m_validators;  // of the last accepted probe
};
