#include "CDownloadThread.h"

#include "CTask.h"
#include "Logger.h"
#include "platform/AtomicFile.h"

CDownloadThread::CDownloadThread(std::timed_mutex* mutex, std::FILE* file, const DownloadTimings& timings)
    : CThread(mutex),
      m_file(file),
      m_fd(file != nullptr ? fileno(file) : -1),
      m_pCurl(std::make_unique<CLibcurlTool>(timings)) {}

CDownloadThread::~CDownloadThread() { stopAndJoin(); }

int CDownloadThread::taskBusiness() {
  CTask* task = currentTask();
  int part = currentPart();
  bool last = false;
  if (part == SliceParts::kNone) {
    if (task->IsRangeComplete()) {
      task->TaskStatus = kTaskComplete;
      return 1;
    }
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    task->BeginAttempt();
    part = task->Parts.claimGap();
    last = part == SliceParts::kNone && !task->Parts.anyClaimed();
  }
  CURLcode result = CURLE_OK;
  while (part != SliceParts::kNone) {
    const bool filled = fetchPart(task, part, result);
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    part = task->Parts.endFetch(part, filled, result, last);
  }
  if (last) settle(task, result);
  return 1;
}

bool CDownloadThread::fetchPart(CTask* task, int part, CURLcode& result) {
  std::int64_t from = 0;
  std::int64_t limit = 0;
  {
    std::lock_guard<std::timed_mutex> lock(*m_mutex);
    from = task->Parts.part(part).writePos;
    limit = task->Parts.part(part).limit;
  }
  m_transfer = RangeTransfer{};
  m_transfer.part = part;
  m_transfer.requestStart = from;
  m_transfer.requestLast = limit;
  // A part that runs to the slice's end asks up to EndPos, as a whole slice does.
  const bool toSliceEnd = limit == SliceLastByte(task->EndPos, task->ContentLength);
  result = m_pCurl->httpDownloadContent(task->RemotePath, from, toSliceEnd ? task->EndPos : limit, 0, this);
  std::lock_guard<std::timed_mutex> lock(*m_mutex);
  // Filled means every byte is on disk, whatever ended the transfer (a
  // server sending more than asked, or a split, is cut off on purpose).
  return task->Parts.part(part).filled();
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
