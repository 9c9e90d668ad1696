#pragma once
// A download worker: its task step is one ranged GET of the task's remaining
// bytes into the shared package file, on its own libcurl handle.
#include <cstdio>
#include <memory>

#include "CLibcurlTool.h"
#include "CThread.h"
#include "DownloadTimings.h"

class CDownloadThread : public CThread {
 public:
  // mutex and file are shared by every worker and owned by the thread manager.
  CDownloadThread(std::timed_mutex* mutex, std::FILE* file, const DownloadTimings& timings);
  ~CDownloadThread() override;

  // One step: complete at once when nothing is left, else one ranged GET;
  // status 1 when the range is complete, else 2 with RequestTimes + 1.
  int taskBusiness() override;

  // Used by the transfer callbacks during the step.
  RangeTransfer& transfer() { return m_transfer; }
  std::FILE* packageFile() const { return m_file; }
  std::timed_mutex& writeMutex() { return *m_mutex; }

 private:
  std::FILE* m_file;
  std::unique_ptr<CLibcurlTool> m_pCurl;
  RangeTransfer m_transfer;
};
