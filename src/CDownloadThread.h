#pragma once
// A download worker: its task step fetches the task's missing bytes with
// ranged GETs into the shared package file, on its own libcurl handle. A
// worker may also help with a part of a slice that another worker fetches.
#include <curl/curl.h>

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

  // One step: complete at once when nothing is left, else ranged GETs of the
  // slice's missing parts (or of the helped part). The last worker to leave
  // a slice settles it: status 1 when every byte is there, else 2 with
  // RequestTimes + 1 (once per attempt, however many parts failed).
  int taskBusiness() override;

  // Used by the transfer callbacks during the step.
  RangeTransfer& transfer() { return m_transfer; }
  std::FILE* packageFile() const { return m_file; }
  int packageFd() const { return m_fd; }
  std::timed_mutex& writeMutex() { return *m_mutex; }

 private:
  // One ranged GET of part's missing bytes; true when the part is filled.
  bool fetchPart(CTask* task, int part, CURLcode& result);
  void settle(CTask* task, CURLcode result);

  std::FILE* m_file;
  int m_fd;
  std::unique_ptr<CLibcurlTool> m_pCurl;
  RangeTransfer m_transfer;
};
