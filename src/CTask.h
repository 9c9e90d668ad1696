#pragma once
// One slice of the remote package: its byte range, where it comes from and
// goes to, how far it has got and what became of it. A plain record; the task
// manager owns it, a worker and the transfer layer use it for one step.
#include <atomic>
#include <cstdint>
#include <string>

#include "SliceRules.h"

class CTask {
 public:
  CTask() = default;
  CTask(const CTask&) = delete;
  CTask& operator=(const CTask&) = delete;

  // Bytes of this slice on disk (0 to the slice size).
  std::int64_t BytesDone() const {
    return SliceBytesDone(StartPos, EndPos, DownloadedPos.load(), ContentLength);
  }
  bool IsRangeComplete() const { return DownloadedPos.load() == EndPos; }

  // kTaskNew, kTaskComplete, kTaskFailed or kTaskHandedOut. Atomic: the
  // dispatch thread reads it while a worker changes it.
  std::atomic<int> TaskStatus{kTaskNew};
  std::atomic<int> TaskId{0};  // 1-based slice number
  int LogFlag = 0;             // non-zero: worker and transfer layer log this task's steps
  std::string RemotePath;      // URL the slice is fetched from
  std::string LocalPath;       // package file path
  std::string CdnResult;       // CDN result learnt with the length; empty when loaded from file
  std::string CdnStatus;       // CDN status collected from the slice's own responses
  std::int64_t StartPos = 0;   // first byte
  std::int64_t EndPos = 0;     // last byte; for the file's last slice, the file length
  // Next byte to write. Written by the worker after each write, read by the
  // dispatch thread for progress, hence atomic.
  std::atomic<std::int64_t> DownloadedPos{0};
  std::int64_t ContentLength = 0;  // whole remote file
  std::atomic<int> RequestTimes{0};  // failed attempts in this run
  std::int64_t RetryDueMs = 0;       // dispatch thread only: when a failed task goes back to pending
};
