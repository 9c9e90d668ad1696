#pragma once
// Turns one remote file into 4 MiB download tasks and keeps their queues:
// pending, handed out or complete. The length comes from a LengthProbe and
// the list is kept in a TaskInfoFile, so that a later run resumes where an
// earlier one stopped. Used by the driver thread only, once a run has started.
#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "CTask.h"
#include "CTaskManager.h"
#include "DownloadTimings.h"
#include "EnumErrorCode.h"
#include "LengthProbe.h"
#include "TaskInfoFile.h"

class CSingleUserLog;

class CDownloadTaskManager : public CTaskManager {
 public:
  CDownloadTaskManager(const std::string& url, const std::string& localPath, const std::string& taskInfoPath,
                       const DownloadTimings& timings = DownloadTimings{}, CSingleUserLog* userLog = nullptr);
  ~CDownloadTaskManager() override;

  CTask* popPendingTask() override;
  int pushPendingTask(CTask* task) override;
  int pushDoneTask(CTask* task) override;

  // Resumes from the task-info file when it is valid, else starts afresh.
  EnumErrorCode loadDownloadTask(const std::string& tag, int logFlag);
  // Learns the length (up to 10 tries) and creates the slices: Completed,
  // GetLengthFailed or TooManyRedirects.
  EnumErrorCode generateDownloadTask(const std::string& tag, int logFlag);
  // Remote length by header probe, following Location itself; 0 on failure.
  // The manager's URL becomes the final location.
  std::int64_t getContentLength(CURLcode& code, std::string& cdnResult, int logFlag) {
    return m_probe.getContentLength(code, cdnResult, logFlag);
  }
  // True when every task read has status 1 (also when none was read).
  bool loadTaskFromFile(int logFlag);
  // 1 consistent, 2 remote length changed, 3 list inconsistent, 0 remote
  // length unknown (probe failed; the saved state must be kept).
  int verifyTaskInfo(int logFlag);
  // Flushes the package to disk, then replaces the task-info file
  // atomically; skipped when there are no tasks or the flush fails. Always 1.
  int saveTaskInfo();
  // The flush and replace of saveTaskInfo for a document already built (the
  // periodic saver's path); false when the flush failed and nothing was saved.
  static bool StoreTaskInfo(const std::string& localPath, const std::string& taskInfoPath, const std::string& xml) {
    return TaskInfoFile::Store(localPath, taskInfoPath, xml);
  }
  void addTask(std::unique_ptr<CTask> task);
  // A failed task leaves the dispatched list and is pending again.
  void requeueFailedTask(CTask* task);
  void clearTasks();
  bool isTaskInfoExist() const { return m_file.exists(); }

  static std::string formatSizeUnits(std::int64_t bytes);
  static std::string formatSizeText(std::int64_t bytes);

  // Read by the driver thread.
  const std::vector<std::unique_ptr<CTask>>& allTasks() const { return m_tasks; }
  const std::vector<CTask*>& doneTasks() const { return m_done; }
  bool hasPendingTasks() const { return !m_pending.empty(); }
  // The next task popPendingTask would return; null when none.
  CTask* peekPendingTask() const { return m_pending.empty() ? nullptr : m_pending.front(); }
  // True once a multi-slice request of this run was answered otherwise.
  bool streamRefused() const { return m_streamRefused->load(); }
  std::size_t pendingCount() const { return m_pending.size(); }
  int TasksCount() const { return m_tasksCount; }
  std::int64_t ContentLength() const { return m_contentLength; }
  std::int64_t DownloadTime() const { return m_downloadTime; }
  void addDownloadTime(std::int64_t ms) { m_downloadTime += ms; }
  const std::string& url() const { return m_probe.url(); }
  // True once a reply of this run showed the remote file changed.
  bool remoteChanged() const { return m_remoteChanged->load(); }
  // After a change: the saved list and package bytes are of another file.
  // The list is removed, the package truncated (kept for reuse) and the
  // remembered length forgotten, so the next run probes and starts over.
  static void DiscardChangedFile(const std::string& url, const std::string& localPath,
                                 const std::string& taskInfoPath, CSingleUserLog* userLog = nullptr);

  // The task-info document of the list as it stands (what saveTaskInfo writes).
  std::string buildTaskInfoXml() const { return TaskInfoFile::BuildXml(m_tasks, m_contentLength, m_downloadTime); }

 private:
  void discardSavedState();
  void logCounts(const char* what) const;

  std::vector<std::unique_ptr<CTask>> m_tasks;  // owner, slice order
  int m_tasksCount = 0;
  std::vector<CTask*> m_done;  // handed out, or complete at load
  std::deque<CTask*> m_pending;
  std::string m_localPath;
  std::int64_t m_contentLength = 0;
  std::int64_t m_downloadTime = 0;
  std::shared_ptr<std::atomic<bool>> m_remoteChanged = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<std::atomic<bool>> m_streamRefused = std::make_shared<std::atomic<bool>>(false);
  DownloadTimings m_timings;
  CSingleUserLog& m_log;
  LengthProbe m_probe;  // also the final URL and the probe's validators
  TaskInfoFile m_file;
};
