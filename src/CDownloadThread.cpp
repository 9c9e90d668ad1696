#include "CDownloadThread.h"

#include <unistd.h>

#include <cerrno>

#include "CTask.h"
#include "Logger.h"
#include "platform/AtomicFile.h"

CDownloadThread::CDownloadThread(std::timed_mutex* mutex, std::FILE* file, const DownloadTimings& timings)
    : CThread(mutex),
      m_file(file),
      m_fd(file != nullptr ? fileno(file) : -1),
      m_pCurl(std::make_unique<CLibcurlTool>(timings)),
      m_rangeTimeoutMs(timings.rangeTimeoutMs) {}

CDownloadThread::~CDownloadThread() { stopAndJoin(); }

int CDownloadThread::taskBusiness() {
  CTask* task = currentTask();
  if (currentPart() != SliceParts::kNone) {
    helpPart(task, currentPart());
  } else if (const std::shared_ptr<SliceRun> run = currentRun()) {
    fetchRun(*run);
  } else {
    fetchSlice(task, nullptr);
  }
  return 1;
}

void CDownloadThread::helpPart(CTask* task, int part) {
  CURLcode result = CURLE_OK;
  bool last = false;
  while (part != SliceParts::kNone) {
    const bool filled = fetchPart(task, part, nullptr, result);
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    part = task->Parts.endFetch(part, filled, result, last);
  }
  if (last) settle(task, result);
}

void CDownloadThread::fetchRun(SliceRun& run) {
  for (;;) {
    CTask* task = nullptr;
    {
      std::lock_guard<std::timed_mutex> lock(*m_mutex);
      if (run.current > run.last) return;
      task = run.tasks[static_cast<std::size_t>(run.current)];
    }
    if (fetchSlice(task, &run) && !stopping(run)) continue;
    // The server or the connection failed, or the round is stopping: the
    // slices not started go back untouched rather than fail one after
    // another on this worker.
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    for (int i = run.current; i <= run.last; ++i) run.tasks[static_cast<std::size_t>(i)]->TaskStatus = kTaskNew;
    run.last = run.current - 1;
    return;
  }
}

bool CDownloadThread::stopping(const SliceRun& run) {
  std::lock_guard<std::timed_mutex> lock(*m_mutex);
  return run.stopping;
}

bool CDownloadThread::fetchSlice(CTask* task, SliceRun* run) {
  bool ok = true;
  if (task->IsRangeComplete()) {
    task->TaskStatus = kTaskComplete;
  } else {
    int part = SliceParts::kNone;
    bool last = false;
    {
      std::lock_guard<std::timed_mutex> lock(*m_mutex);
      task->BeginAttempt();
      part = task->Parts.claimGap();
      last = part == SliceParts::kNone && !task->Parts.anyClaimed();
    }
    CURLcode result = CURLE_OK;
    while (part != SliceParts::kNone) {
      ok = fetchPart(task, part, run, result);
      // A stream may have moved on to a later slice of the run.
      task = m_transfer.task;
      part = m_transfer.part;
      std::lock_guard<std::timed_mutex> lock(*m_mutex);
      part = task->Parts.endFetch(part, ok, result, last);
    }
    if (last) settle(task, result);
  }
  if (run != nullptr) {
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    ++run->current;
  }
  return ok;
}

bool CDownloadThread::fetchPart(CTask* task, int part, SliceRun* run, CURLcode& result) {
  m_transfer = RangeTransfer{};
  m_transfer.task = task;
  m_transfer.part = part;
  {
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    const SlicePart& p = task->Parts.part(part);
    const std::int64_t sliceLast = SliceLastByte(task->EndPos, task->ContentLength);
    m_transfer.requestStart = p.writePos;
    m_transfer.requestLast = p.limit;
    // A part that runs to the slice's end asks up to EndPos, as a whole slice does.
    m_transfer.requestEnd = p.limit == sliceLast ? task->EndPos : p.limit;
    // The slice's only part, to its end, with more of the run behind it: ask
    // for the whole rest of the run in one request.
    const bool streams = run != nullptr && p.limit == sliceLast && task->Parts.count() == 1 &&
                         run->current < run->last && !(task->StreamRefused && task->StreamRefused->load());
    if (streams) {
      const CTask* lastTask = run->tasks[static_cast<std::size_t>(run->last)];
      m_transfer.run = run;
      m_transfer.slices = run->last - run->current + 1;
      m_transfer.requestLast = SliceLastByte(lastTask->EndPos, lastTask->ContentLength);
      m_transfer.requestEnd = lastTask->EndPos;
    }
  }
  result = m_pCurl->httpDownloadContent(task->RemotePath, m_transfer.requestStart, m_transfer.requestEnd, 0, this);
  bool filled = false;
  {
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    // Filled means every byte is on disk, whatever ended the transfer (a
    // server sending more than asked, or a split, is cut off on purpose).
    filled = m_transfer.task->Parts.part(m_transfer.part).filled();
  }
  // A reply that ended well short of the range it announced.
  if (m_transfer.slices > 1 && result == CURLE_OK && !filled) RefuseStream(m_transfer, "reply ended early");
  return filled;
}

std::size_t CDownloadThread::writeAt(const char* data, std::size_t size, std::int64_t offset) {
  // pwrite of the whole block: parts never overlap, so no lock is needed.
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool CDownloadThread::enterNextSlice() {
  RangeTransfer& t = m_transfer;
  if (t.run == nullptr) return false;
  if (!StreamReplyMatches(t)) {
    RefuseStream(t, "not the asked range");
    return false;
  }
  CTask* done = t.task;
  {
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    SliceRun& run = *t.run;
    const SlicePart& p = done->Parts.part(t.part);
    // A split of this slice, a tail handed to another worker, or a round
    // that is stopping ends the stream at this slice's end.
    if (done->Parts.count() != 1 || !p.filled() || p.limit != SliceLastByte(done->EndPos, done->ContentLength) ||
        run.current >= run.last || run.stopping) {
      return false;
    }
    CTask* next = run.tasks[static_cast<std::size_t>(run.current + 1)];
    if (next->StartPos != p.limit + 1 || next->BytesDone() != 0) return false;
    bool last = false;
    done->Parts.endFetch(t.part, true, CURLE_OK, last);
    ++run.current;
    next->BeginAttempt(false);
    // The reply's CDN headers came with the slice the request began with.
    if (next->CdnStatus.empty()) next->CdnStatus = done->CdnStatus;
    t.task = next;
    t.part = next->Parts.claimGap();
  }
  settle(done, CURLE_OK);
  t.sliceDeadlineMs = TickCountMs() + m_rangeTimeoutMs;
  return true;
}

void CDownloadThread::settle(CTask* task, CURLcode result) {
  bool complete = false;
  {
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    complete = task->Parts.complete() && task->IsRangeComplete();
    if (task->Parts.failed()) result = static_cast<CURLcode>(task->Parts.failCode());
  }
  if (complete) {
    // A transfer ended by a split reports a write error; the slice is whole.
    result = CURLE_OK;
    // Writeback of the whole slice starts now, so the flush before the next
    // task-info save finds little left to write.
    platform::StartWriteback(m_fd, task->StartPos, task->EndPos - task->StartPos + 1);
    task->TaskStatus = kTaskComplete;
    if (task->LogFlag != 0) {
      QMLOG(" Tasks info, download success(" << result << "), id = " << task->TaskId.load()
                                             << ", reqTime = " << task->RequestTimes.load());
    }
    return;
  }
  task->RequestTimes += 1;
  task->TaskStatus = kTaskFailed;
  if (task->LogFlag != 0) {
    QMLOG(" Tasks info, download fail(" << result << "), id = " << task->TaskId.load()
                                        << ", reqTime = " << task->RequestTimes.load());
  }
}
