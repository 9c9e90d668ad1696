#pragma once
// The worker pool of one download run: opens the package file, owns the
// process-wide write lock "mutex_for_downloadthread" and creates the
// download workers that share both.
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "CThreadManager.h"
#include "DownloadTimings.h"

class CSingleUserLog;

class CDownloadThreadManager : public CThreadManager {
 public:
  // Null userLog: the process's telemetry queue.
  explicit CDownloadThreadManager(const std::string& localPath, const DownloadTimings& timings = DownloadTimings{},
                                  CSingleUserLog* userLog = nullptr);
  ~CDownloadThreadManager() override;

  // Opens the package ("rb+" when it exists, else "wb+"), ending processes that
  // run from it when it is busy, and starts count workers. Returns the number
  // of workers running, or -1 when the file cannot be opened.
  int createThreads(int count) override;
  bool isLocalFileExist() const;
  // Joins the workers first, then closes the package file.
  void closeLocalFile();

 private:
  // The open attempt's errno in error (0 on success).
  std::FILE* openPackage(int& error) const;
  std::FILE* openAfterKill(int& error) const;

  std::shared_ptr<std::timed_mutex> m_sharedMutex;
  std::FILE* m_file = nullptr;
  std::string m_localPath;
  DownloadTimings m_timings;
  CSingleUserLog& m_log;
};
