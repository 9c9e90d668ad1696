#include "CDownloadThread.h"

#include "CTask.h"
#include "Logger.h"

CDownloadThread::CDownloadThread(std::timed_mutex* mutex, std::FILE* file, const DownloadTimings& timings)
    : CThread(mutex), m_file(file), m_pCurl(std::make_unique<CLibcurlTool>(timings)) {}

CDownloadThread::~CDownloadThread() { stopAndJoin(); }

int CDownloadThread::taskBusiness() {
  CTask* task = currentTask();
  if (task->IsRangeComplete()) {
    task->TaskStatus = kTaskComplete;
    return 1;
  }
  const std::int64_t start = task->DownloadedPos.load();
  m_transfer = RangeTransfer{};
  m_transfer.requestStart = start;
  m_transfer.writePos = start;
  const CURLcode result = m_pCurl->httpDownloadContent(task->RemotePath, start, task->EndPos, 0, this);
  // A server that sends more than the range is cut off once the range is
  // written; the slice is then complete although libcurl reports a write error.
  const bool ended = result == CURLE_OK || (result == CURLE_WRITE_ERROR && m_transfer.rangeFilled);
  if (ended && task->IsRangeComplete()) {
    task->TaskStatus = kTaskComplete;
    if (task->LogFlag != 0) {
      QMLOG(" Tasks info, download success(" << result << "), id = " << task->TaskId.load()
                                             << ", reqTime = " << task->RequestTimes.load());
    }
    return 1;
  }
  task->RequestTimes += 1;
  task->TaskStatus = kTaskFailed;
  if (task->LogFlag != 0) {
    QMLOG(" Tasks info, download fail(" << result << "), id = " << task->TaskId.load()
                                        << ", reqTime = " << task->RequestTimes.load());
  }
  return 1;
}
