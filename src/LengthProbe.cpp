#include "LengthProbe.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "CLibcurlTool.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "SliceRules.h"

namespace {

// Validators learnt with a remembered length, kept beside it under the same key.
std::mutex g_validatorsLock;
std::map<std::string, Validators> g_validators;

void CacheValidators(const std::string& key, const Validators& validators) {
  std::lock_guard<std::mutex> lock(g_validatorsLock);
  if (validators.empty()) {
    g_validators.erase(key);
  } else {
    g_validators[key] = validators;
  }
}

Validators CachedValidators(const std::string& key) {
  std::lock_guard<std::mutex> lock(g_validatorsLock);
  const auto it = g_validators.find(key);
  return it == g_validators.end() ? Validators{} : it->second;
}

constexpr int kProbeLimit = 10;

// Size of the filesystem that will hold the package (0 when unknown): its
// folder, or the nearest folder above it that exists.
std::int64_t DiskBytesFor(const std::string& packagePath) {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::path(packagePath).parent_path();
  while (!folder.empty() && !std::filesystem::exists(folder, ec) && folder != folder.parent_path()) {
    folder = folder.parent_path();
  }
  const std::filesystem::space_info space = std::filesystem::space(folder.empty() ? "." : folder, ec);
  if (ec || space.capacity == static_cast<std::uintmax_t>(-1)) return 0;
  return static_cast<std::int64_t>(std::min<std::uintmax_t>(space.capacity, INT64_MAX));
}

}  // namespace

LengthProbe::LengthProbe(const std::string& url, const std::string& localPath, const DownloadTimings& timings,
                         CSingleUserLog* userLog)
    : m_url(url), m_localPath(localPath), m_timings(timings), m_log(CSingleUserLog::GivenOrProcess(userLog)) {}

std::int64_t LengthProbe::getContentLength(CURLcode& code, std::string& cdnResult, int logFlag) {
  if (const auto cached = m_log.LookupContentLength(m_url); cached != 0) {
    cdnResult.clear();
    m_validators = CachedValidators(m_url);
    return static_cast<std::int64_t>(cached);
  }
  return askContentLength(code, cdnResult, logFlag);
}

void LengthProbe::reportCdn(const std::string& headers, std::string& cdnResult) {
  const ProbeCdn cdn = FindProbeCdn(headers);
  if (cdn.cloudflare) {
    QMLOG(" Cdn result: " << cdn.cacheStatus << ", " << cdn.dataCentre);
    m_log.AddUserLog("Download", "3.CDNStatus", cdn.dataCentre + "/" + cdn.cacheStatus, false);
  } else if (cdn.xCache) {
    cdnResult = cdn.xCacheValue;
    QMLOG(" Cdn result: " << cdnResult);
    m_log.AddUserLog("Download", "3.CDNStatus", cdnResult, false);
  }
}

std::int64_t LengthProbe::askContentLength(CURLcode& code, std::string& cdnResult, int logFlag) {
  code = CURLE_OK;
  CLibcurlTool tool(m_timings);
  // One limit for the probe and all its hops, so a chain of slow redirects
  // costs no more than one slow reply.
  const std::int64_t deadline = TickCountMs() + m_timings.probeTimeoutMs;
  for (int probes = 1;; ++probes) {
    std::string headers;
    long status = 0;
    const std::int64_t left = deadline - TickCountMs();
    if (left <= 0) {
      QMLOG(" [Error]: "
            << "length probe out of time after " << probes - 1 << " hops");
      code = CURLE_OPERATION_TIMEDOUT;
      cdnResult.clear();
      return 0;
    }
    QMLOG(" before getContentLength GetHeader");
    code = tool.httpGetHeaders(m_url, headers, status, left);
    QMLOG(" after getContentLength GetHeader");
    reportCdn(headers, cdnResult);
    // A probe cut short (by its deadline, say) may still hold a status line
    // and a length: half a reply is no answer.
    if (status != 200 || code != CURLE_OK) {
      cdnResult.clear();
      return 0;
    }
    bool redirected = false;
    const std::string location(TrimBlanks(FindHeaderRaw(headers, "Location", &redirected)));
    if (!redirected) {
      const std::int64_t length = LengthFromProbeHeaders(headers);
      if (logFlag != 0) QMLOG(" Get Contentlength = " << length);
      if (length == 0) return 0;
      // Slicing an absurd length would mean millions of tasks for a file no
      // disk here can hold: that answer is a failed probe.
      if (!PlausiblePackageLength(length, DiskBytesFor(m_localPath))) {
        QMLOG(" [Error]: "
              << "content length " << length << " refused, larger than the disk or 1 TiB");
        return 0;
      }
      m_validators = FinalHopValidators(headers);
      m_log.CacheContentLength(m_url, static_cast<std::uint64_t>(length));
      CacheValidators(m_url, m_validators);
      if (logFlag != 0)
        QMLOG(" Probe validators: etag " << m_validators.etag << ", last-modified " << m_validators.lastModified);
      return length;
    }
    m_url = ResolveLocation(m_url, location);
    // Probes are bounded even when no transfer reports too many redirects
    // (a 200 carrying a Location to itself would otherwise loop for ever).
    if (probes >= kProbeLimit) {
      if (logFlag != 0) QMLOG(" Get Contentlength = " << 0 << ", error CURLE_TOO_MANY_REDIRECTS");
      code = CURLE_TOO_MANY_REDIRECTS;
      cdnResult.clear();
      return 0;
    }
  }
}

std::int64_t LengthProbe::probeLength(CURLcode& code, std::string& cdnResult, int logFlag,
                                      std::vector<std::string>* records) {
  const std::int64_t start = TickCountMs();
  for (int attempt = 0; attempt < kTries; ++attempt) {
    if (attempt > 0 && TickCountMs() - start >= m_timings.probeBudgetMs) {
      QMLOG(" [Error]: "
            << "length probes stopped after " << attempt << " tries, " << TickCountMs() - start << " ms");
      break;
    }
    // Generation may use a remembered answer; verification (records null)
    // checks the saved length and so asks the server afresh.
    const std::int64_t length = records != nullptr ? getContentLength(code, cdnResult, logFlag)
                                                   : askContentLength(code, cdnResult, logFlag);
    if (length > 0) {
      if (records != nullptr) records->push_back("Success");
      return length;
    }
    if (records != nullptr) records->push_back("error:" + std::to_string(static_cast<int>(code)));
    if (attempt + 1 < kTries) std::this_thread::sleep_for(std::chrono::milliseconds(m_timings.probeRetryPauseMs));
  }
  return 0;
}

std::int64_t LengthProbe::measure(const std::string& tag, CURLcode& code, std::string& cdnResult, int logFlag) {
  std::vector<std::string> records;
  const std::int64_t length = probeLength(code, cdnResult, logFlag, &records);
  records.resize(kTries, "Null");
  if (!tag.empty()) {
    std::string joined;
    for (const auto& record : records) {
      if (!joined.empty()) joined += "/";
      joined += record;
    }
    joined = joined.substr(0, 2047);
    m_log.AddUserLog("Other", "Download", joined, false);
    QMLOG(" GetSize: " << tag << ", " << joined);
  }
  return length;
}

void LengthProbe::Forget(const std::string& url, CSingleUserLog* userLog) {
  CSingleUserLog::GivenOrProcess(userLog).ForgetContentLength(url);
  CacheValidators(url, Validators{});
}
