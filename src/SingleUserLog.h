#pragma once
// Process-wide telemetry front end and keeper of a few process-wide values
// (log file, log folder, work folder, start stamp, the service's
// Downloader_config, a content-length cache).
//
// This build delivers nothing yet: sending operations record the events so that
// callers and tests can see what would be sent; the delivery thread and the
// real senders replace the recording without changing this interface.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct UserLogItem {
  std::string category;
  std::string action;
  std::string label;
  std::string body;  // funnel document; empty for GA4 items
  int retries = 0;
};

class CSingleUserLog {
 public:
  static CSingleUserLog* GetInstance();

  CSingleUserLog(const CSingleUserLog&) = delete;
  CSingleUserLog& operator=(const CSingleUserLog&) = delete;

  // Results: -99 when telemetry is off (AutoRun), otherwise 0.
  int AddUserLog(const std::string& category, const std::string& action, const std::string& label,
                 bool wait);
  int AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName, int funcStep,
                        const std::string& category, const std::string& action,
                        const std::string& label, bool wait);
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::map<std::string, std::string>& fields, bool wait);
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::string& key, const std::string& value, bool wait);

  void SetBaseInfo(int siteId, const std::string& productName, const std::string& downloadUrl,
                   bool kitFlag, int mainPid);

  // Derives the log folder, log file and work folder from the package stem and
  // creates the folders. Always 1.
  int InitLogPath(const std::string& stem);
  std::string GetLogFilePath() const;
  std::string GetLogDir() const;
  std::string GetWorkDir() const;
  std::string GetStartStamp() const;

  void CacheContentLength(const std::string& key, std::uint64_t length);
  std::uint64_t LookupContentLength(const std::string& key) const;

  // Delivers what is queued (bounded) and ends the delivery thread. Always true.
  bool WaitThreadForExit();

  int GetSiteId() const;
  std::string GetProductName() const;
  std::string GetDownloadUrl() const;
  bool GetKitFlag() const;
  int GetMainPid() const;

  // Copy of the configuration service's Downloader_config.
  std::atomic<int> downloaderConfig{0};

  // What the sending operations were asked to send, oldest first; clears it.
  std::vector<UserLogItem> TakeRecordedEvents();

 private:
  CSingleUserLog() = default;
  int Record(UserLogItem item);

  mutable std::mutex mutex_;
  std::string logFilePath_;
  std::string logDir_;
  std::string workDir_;
  std::string startStamp_;
  std::map<std::string, std::uint64_t> contentLengthCache_;
  int siteId_ = 0;
  std::string productName_;
  std::string downloadUrl_;
  bool kitFlag_ = false;
  int mainPid_ = 0;
  std::vector<UserLogItem> recorded_;
};
