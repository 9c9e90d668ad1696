#pragma once
// Process-wide telemetry front end and keeper of a few process-wide values
// (log file, log folder, work folder, start stamp, the service's
// Downloader_config, a content-length cache).
//
// Events are queued (two queues, GA4 and funnel, each behind its own lock
// that a caller waits for at most 200 ms) and one delivery thread sends them
// through the reporting object; a caller may instead wait for delivery on its
// own thread (three attempts). GA4 flow errors also produce funnel events.
// Under the AutoRun test switch telemetry is off: sending returns -99 and no
// thread runs.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FunnelDocument.h"
#include "TelemetryContext.h"
#include "UserLogQueue.h"

class WebLog;

// Limits and switches of one instance; the program uses the defaults.
struct UserLogSettings {
  int lockWaitMs = 200;          // longest wait for a queue lock
  int idlePollMs = 500;          // idle delivery thread's poll period
  int exitWaitMs = 600000;       // longest wait of WaitThreadForExit
  std::optional<bool> disabled;  // unset: the AutoRun switch at construction
  bool withWebLog = true;        // false: as if the reporting object could not be made
  std::string executablePath;    // unset: the running executable
};

class CSingleUserLog {
 public:
  static CSingleUserLog* GetInstance();
  // The instance a caller was given, or the process's when it was given none.
  static CSingleUserLog& GivenOrProcess(CSingleUserLog* given);
  // Settings of the process's instance; false once it exists.
  static bool SetInstanceSettings(const UserLogSettings& settings);
  // A separate instance with its own delivery thread (tests, tools).
  static std::unique_ptr<CSingleUserLog> CreateStandalone(const UserLogSettings& settings);

  ~CSingleUserLog();
  CSingleUserLog(const CSingleUserLog&) = delete;
  CSingleUserLog& operator=(const CSingleUserLog&) = delete;

  // Results: -99 disabled; queued: 0 (also when dropped at the lock);
  // waited: 0, the last attempt's result, or -1 without a reporting object.
  int AddUserLog(const std::string& category, const std::string& action, const std::string& label,
                 bool wait);
  int AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName, int funcStep,
                        const std::string& category, const std::string& action,
                        const std::string& label, bool wait);
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::map<std::string, std::string>& fields, bool wait);
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::string& key, const std::string& value, bool wait);

  // Stores the values; isNew from "galog.json" (first call of the local day).
  void SetBaseInfo(int siteId, const std::string& productName, const std::string& downloadUrl,
                   bool kitFlag, int mainPid);
  // The main window, read by the funnel documents; null before it exists.
  void SetMainWindow(const ITelemetryWindow* window);

  // Derives the log folder, log file and work folder from the package stem and
  // creates the folders. Always 1.
  int InitLogPath(const std::string& stem);
  std::string GetLogFilePath() const;
  std::string GetLogDir() const;
  std::string GetWorkDir() const;
  std::string GetStartStamp() const;

  void CacheContentLength(const std::string& key, std::uint64_t length);
  std::uint64_t LookupContentLength(const std::string& key) const;
  // A remembered length that proved stale (the file changed) is dropped.
  void ForgetContentLength(const std::string& key);

  // Lets the delivery thread empty both queues and end; waits at most the
  // exit bound. Always true.
  bool WaitThreadForExit();

  int GetSiteId() const;
  std::string GetProductName() const;
  std::string GetDownloadUrl() const;
  bool GetKitFlag() const;
  int GetMainPid() const;
  bool IsNew() const;
  TelemetryContext Context() const;

  // Copy of the configuration service's Downloader_config.
  std::atomic<int> downloaderConfig{0};

  // Test hook: events accepted by AddUserLog* since the previous call, oldest
  // first (funnel events carry their document in body, built from the values
  // of the call). Recording starts with the first call.
  std::vector<UserLogItem> TakeRecordedEvents();

 private:
  explicit CSingleUserLog(const UserLogSettings& settings);
  static UserLogSettings& PendingSettings();
  static std::atomic<bool>& InstanceMade();

  void Record(const UserLogItem& item);
  void DeriveFlowErrorEvents(const std::string& category, const std::string& action,
                             const std::string& label, bool wait);
  // Queues the event's values, or with wait builds and sends its document now.
  int SendFunnel(FunnelEvent event, bool wait);
  // The context of this moment, shared: events keep it without a copy.
  std::shared_ptr<const TelemetryContext> ContextSnapshot() const;
  int SendGa4Hit(const std::string& category, const std::string& action, const std::string& label);
  void RecordVersionOnce();
  std::string GalogPath() const;

  // Delivery thread.
  void UserLogManagerThread();
  void EstablishIdentity();
  void DeliverNext(CUserLogQueue& queue, bool ga4);
  void HandleFailure(CUserLogQueue& queue, bool ga4, UserLogItem item, int result);
  std::chrono::milliseconds LockWait() const { return std::chrono::milliseconds(settings_.lockWaitMs); }

  const UserLogSettings settings_;
  bool disabled_ = false;
  std::atomic<bool> flowErrorStarted_{false};
  std::atomic<int> flowErrorStep_{1};
  std::atomic<bool> versionPending_{true};
  std::atomic<const ITelemetryWindow*> mainWindow_{nullptr};

  mutable std::mutex pathMutex_;
  std::string logFilePath_;
  std::string logDir_;
  std::string workDir_;
  std::string startStamp_;

  mutable std::mutex cacheMutex_;
  std::map<std::string, std::uint64_t> contentLengthCache_;

  // Replaced whole on change, never modified in place: a queued event keeps
  // the values of its call.
  mutable std::mutex contextMutex_;
  std::shared_ptr<const TelemetryContext> context_;
  std::mutex galogMutex_;

  WebLog* webLog_ = nullptr;
  CUserLogQueue ga4Queue_;
  CUserLogQueue funnelQueue_;

  std::atomic<bool> exitRequested_{false};
  std::atomic<bool> abandon_{false};
  std::mutex threadMutex_;
  std::condition_variable wake_;
  bool threadDone_ = false;
  std::condition_variable done_;
  std::thread thread_;

  std::atomic<bool> recording_{false};
  std::mutex recordMutex_;
  std::vector<UserLogItem> recorded_;
};
