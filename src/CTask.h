#pragma once
// One slice of the remote package: its byte range, where it comes from and
// goes to, how far it has got and what became of it. A plain record; the task
// manager owns it, a worker and the transfer layer use it for one step.
#include <atomic>
#include <memory>
#include <cstdint>
#include <string>

#include "HttpHeaderText.h"
#include "SliceParts.h"
#include "SliceRules.h"

class CTask {
 public:
  CTask() = default;
  CTask(const CTask&) = delete;
  CTask& operator=(const CTask&) = delete;

  // Bytes of this slice on disk (0 to the slice size), parts fetched ahead
  // of the contiguous prefix included.
  std::int64_t BytesDone() const {
    return SliceBytesDone(StartPos, EndPos, DownloadedPos.load(), ContentLength) + AheadBytes.load();
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
  std::int64_t ContentLength = 0;    // whole remote file
  std::atomic<int> RequestTimes{0};  // failed attempts in this run
  std::int64_t RetryDueMs = 0;       // dispatch thread only: when a failed task goes back to pending
  // Validators of this run's length probe (memory only; empty when the probe had none).
  Validators Probed;
  // Shared by every task of the run: set by the first reply showing that the
  // remote file is no longer the probed one; every transfer of the run stops.
  std::shared_ptr<std::atomic<bool>> RemoteChanged;
  // Shared by every task of the run: set once the server answered a request
  // for several slices with anything but exactly that range; from then on
  // each slice is asked for on its own.
  std::shared_ptr<std::atomic<bool>> StreamRefused;
  // The caller's cancel (empty: none): once set, every transfer of the run stops.
  std::shared_ptr<const std::atomic<bool>> Cancel;

  // The parts workers fetch in this run; memory only. Guarded by the package
  // write lock, like every call below.
  SliceParts Parts;
  // Bytes written past the contiguous prefix (progress only, never saved).
  std::atomic<std::int64_t> AheadBytes{0};

  // Starts an attempt from DownloadedPos; an earlier attempt's parts are kept
  // while they agree with it, so only their gaps are fetched again.
  // keepParts false: start over as one part (only for a slice with no byte
  // on disk, which a stream enters at its first byte).
  void BeginAttempt(bool keepParts = true) {
    const bool keep = keepParts && !Parts.empty() && Published(Parts.frontier()) == DownloadedPos.load();
    Parts.beginAttempt(DownloadedPos.load(), SliceLastByte(EndPos, ContentLength), keep);
    PublishProgress();
  }
  // DownloadedPos only ever covers what is on disk contiguously from StartPos.
  void PublishProgress() {
    if (Parts.empty()) return;
    DownloadedPos = Published(Parts.frontier());
    AheadBytes = Parts.bytesAhead();
  }

 private:
  std::int64_t Published(std::int64_t frontier) const { return PublishedPosition(EndPos, ContentLength, frontier); }
};
