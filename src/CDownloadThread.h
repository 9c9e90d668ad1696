#pragma once
// A download worker: its task step fetches the task's missing bytes with
// ranged GETs into the shared package file, on its own libcurl handle. A
// worker may also help with a part of a slice that another worker fetches,
// or stream a run of consecutive slices with one request.
#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "CLibcurlTool.h"
#include "CThread.h"
#include "DownloadTimings.h"
#include "RangeSink.h"
#include "SliceRun.h"

class CDownloadThread : public CThread, public IRangeSink {
 public:
  // mutex and file are shared by every worker and owned by the thread manager.
  CDownloadThread(std::timed_mutex* mutex, std::FILE* file, const DownloadTimings& timings);
  ~CDownloadThread() override;

  // One step: complete at once when nothing is left, else ranged GETs of the
  // slice's missing parts (or of the helped part, or of each slice of a
  // run). The last worker to leave a slice settles it: status 1 when every
  // byte is there, else 2 with RequestTimes + 1 (once per attempt, however
  // many parts failed). A run whose slice failed gives its unstarted slices
  // back (status 0) for the dispatcher to hand out again.
  int taskBusiness() override;

  // The sink the transfer callbacks fill during the step: positioned
  // writes into the shared package file, under the shared write lock.
  bool enterNextSlice() override;
  RangeTransfer& transfer() override { return m_transfer; }
  std::timed_mutex& writeMutex() override { return *m_mutex; }
  std::size_t writeAt(const char* data, std::size_t size, std::int64_t offset) override;
  std::FILE* packageFile() const { return m_file; }

 private:
  // One attempt at a slice (run: the run it belongs to, or null); false when
  // the slice the transfer ended in failed.
  bool fetchSlice(CTask* task, SliceRun* run);
  void fetchRun(SliceRun& run);
  bool stopping(const SliceRun& run);
  void helpPart(CTask* task, int part);
  // One ranged GET of part's missing bytes, on through the run's further
  // slices when it can; true when the part it ended in is filled.
  bool fetchPart(CTask* task, int part, SliceRun* run, CURLcode& result);
  void settle(CTask* task, CURLcode result);

  std::FILE* m_file;
  int m_fd;
  std::unique_ptr<CLibcurlTool> m_pCurl;
  RangeTransfer m_transfer;
  std::int64_t m_rangeTimeoutMs;
};
