#pragma once
// Where a ranged GET's bytes go. The transfer layer fills a sink through
// libcurl's callbacks and knows nothing else of the worker behind it: the
// download worker is one sink, a test may be another.
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "HttpHeaderText.h"

class CTask;
struct SliceRun;

// State of the ranged GET in progress on a worker: what was asked for, which
// slice and part its bytes fill now, and what the current response said. A
// request for several slices of a run moves task and part along as each
// slice fills.
struct RangeTransfer {
  CTask* task = nullptr;    // slice the next bytes belong to
  int part = 0;             // index into that task's parts
  SliceRun* run = nullptr;  // set when the request covers several slices of a run
  int slices = 1;           // slices the request covers
  std::int64_t requestStart = 0;
  std::int64_t requestLast = 0;  // last byte wanted
  std::int64_t requestEnd = 0;   // end sent in the Range header (the file length for the last slice)
  RangeReply reply;
  bool rangeFilled = false;  // every byte of the part written; the server sent more (or a cut ended it)
  bool refusalLogged = false;
  bool ifRangeSent = false;  // the request carried If-Range with the probe's validator
  // Several slices: each must fill within the range time limit of reaching it.
  std::int64_t sliceDeadlineMs = 0;
  bool sliceTimedOut = false;
};

class IRangeSink {
 public:
  virtual ~IRangeSink() = default;

  // The request in progress; the callbacks read and update it.
  virtual RangeTransfer& transfer() = 0;
  // Guards the tasks' parts and CDN status, which other workers share.
  virtual std::timed_mutex& writeMutex() = 0;
  // Writes size bytes of data at offset of the package; returns how many
  // reached it (fewer: the file took no more).
  virtual std::size_t writeAt(const char* data, std::size_t size, std::int64_t offset) = 0;
  // The current part is full and the reply has more bytes: settles the
  // slice and moves the transfer on to the next slice when the request
  // covers it and the reply may run on. False: the transfer ends here.
  virtual bool enterNextSlice() = 0;
};
