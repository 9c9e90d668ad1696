#pragma once
// The download driver of one run: prepares the task list, runs the dispatch
// thread that hands pending tasks to idle workers, keeps the download
// information and saves the task-info file at every further 10 %. The run
// stops by itself when every task is complete, or when told to.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CDownloadTaskManager.h"
#include "CDownloadThreadManager.h"
#include "DownloadTimings.h"
#include "EnumErrorCode.h"
#include "SliceRun.h"
#include "TaskInfoSaver.h"
#include "platform/Event.h"

class CSingleUserLog;

struct DownloadInfo {
  std::int64_t tick = 0;        // TickCountMs of the last update
  std::int64_t downloaded = 0;  // bytes of all tasks on disk
  std::string speed = "0.0B/S";
  double percent = 0;        // two decimals, truncated
  std::int64_t elapsed = 0;  // milliseconds spent downloading (all runs)
  std::string averageSpeed = "0.0B/S";
  int failedAttempts = 0;  // sum of RequestTimes
};

class CDownloader {
 public:
  static constexpr int kStop = 0;
  static constexpr int kRun = 1;
  static constexpr int kPause = 2;

  // Starts the dispatch thread, which idles until the status becomes run.
  // Null userLog: the process's telemetry queue.
  CDownloader(const std::string& url, const std::string& localPath, const std::string& taskInfoPath,
              int workerCount, const DownloadTimings& timings = DownloadTimings{}, CSingleUserLog* userLog = nullptr);
  ~CDownloader();
  CDownloader(const CDownloader&) = delete;
  CDownloader& operator=(const CDownloader&) = delete;

  // Loads or generates the tasks and starts the workers: Completed, the
  // task manager's code, OpenFileFailed or CreateThreadsFailed.
  EnumErrorCode downloadInit(const std::string& tag, int logFlag);
  int updateDownloadInfo();
  // "T(cdn at start);C(status;status;...)" over the dispatched tasks; empty
  // when none has a CDN status. Call once the run has stopped.
  std::string makeCdnReport() const;
  // Frees tasks, workers and the package file after a run; status pause.
  int releaseRun();

  int status() const { return m_status.load(); }
  void setStatus(int status);
  // Waits at most timeoutMs for the dispatch thread to end.
  bool waitDispatcherEnded(std::int64_t timeoutMs);
  // Sleeps until the status changes or timeoutMs passes.
  void waitStatusChange(std::int64_t timeoutMs);
  DownloadInfo info() const;
  bool runningFlag() const { return m_running.load(); }
  std::int64_t contentLength() const { return m_taskManager.ContentLength(); }
  int taskCount() const { return m_taskManager.TasksCount(); }
  bool remoteChanged() const { return m_taskManager.remoteChanged(); }

 private:
  void downloaderThread();
  bool everyDispatchedComplete() const;
  // Nothing pending, every handed-out task complete, no worker busy.
  bool allWorkDone() const;
  bool anyTaskIncomplete() const;
  void dispatchTurn();
  // Hands the next pending slice to an idle worker, with up to length - 1
  // consecutive untouched slices after it as one run.
  void handOutRun(int length);
  // Gives an idle worker the last unstarted slice of the run with the most
  // of them; false when no run has one.
  bool takeRunTail();
  // A stopping round starts no further slice of any run.
  void stopRuns();
  // Gives an idle worker a part of the in-flight slice with the most bytes
  // left; false when there is nothing worth helping with.
  bool offerHelp();
  void scheduleRetries();
  void finishRun();

  std::string m_url;
  std::string m_localPath;
  std::string m_taskInfoPath;
  int m_workerCount;
  DownloadTimings m_timings;
  std::atomic<int> m_status{kPause};
  std::atomic<bool> m_running{false};
  mutable std::mutex m_infoLock;
  DownloadInfo m_info;
  CDownloadTaskManager m_taskManager;
  CDownloadThreadManager m_threadManager;
  platform::Event m_wake{false, false};           // dispatcher: status change or a worker done
  platform::Event m_statusChanged{false, false};  // supervisor
  platform::Event m_dispatcherEnded{true, false};
  TaskInfoSaver m_saver;                          // the saves at every further 10 %
  std::vector<std::shared_ptr<SliceRun>> m_runs;  // dispatch thread only: runs that may still give slices away
  std::thread m_dispatcher;
};
