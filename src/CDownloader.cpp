#include "CDownloader.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "Logger.h"
#include "platform/AtomicFile.h"
#include "platform/ThreadStart.h"

namespace {

// Disk set aside for the run's task-info saves (in the file's temporary
// name, given back when the run ends): a stream can fill the disk between
// two saves, and the list is what lets the next run keep the finished slices.
// Twice the last list, at least enough for a list of a few hundred slices.
constexpr std::int64_t kTaskInfoFirstReserve = 64 * 1024;
std::int64_t TaskInfoReserveBytes(std::size_t listBytes) {
  return std::max<std::int64_t>(kTaskInfoFirstReserve, 2 * static_cast<std::int64_t>(listBytes));
}

}  // namespace

CDownloader::CDownloader(const std::string& url, const std::string& localPath, const std::string& taskInfoPath,
                         int workerCount, const DownloadTimings& timings, CSingleUserLog* userLog)
    : m_url(url),
      m_localPath(localPath),
      m_taskInfoPath(taskInfoPath),
      m_workerCount(workerCount),
      m_timings(timings),
      m_taskManager(url, localPath, taskInfoPath, timings, userLog),
      m_threadManager(localPath, timings, userLog),
      m_saver([localPath, taskInfoPath](const std::string& xml) {
        // The list was taken before the flush: every byte it claims reaches
        // the disk before the list does.
        if (CDownloadTaskManager::StoreTaskInfo(localPath, taskInfoPath, xml)) {
          platform::ReserveReplacement(taskInfoPath, TaskInfoReserveBytes(xml.size()));
        }
      }) {
  m_info.tick = TickCountMs();
  m_threadManager.setStepDoneEvent(&m_wake);
  // A stream can fill the disk before the first periodic save; the reserve
  // keeps room for the list that tells the next run which slices are done.
  platform::ReserveReplacement(m_taskInfoPath, kTaskInfoFirstReserve);
  m_dispatcher = platform::StartThread([this] { downloaderThread(); });
}

CDownloader::~CDownloader() {
  if (m_dispatcher.joinable()) {
    setStatus(kStop);
    m_dispatcher.join();
  }
}

void CDownloader::setStatus(int status) {
  m_status = status;
  m_wake.Set();
  m_statusChanged.Set();
}

bool CDownloader::waitDispatcherEnded(std::int64_t timeoutMs) { return m_dispatcherEnded.Wait(timeoutMs); }

void CDownloader::waitStatusChange(std::int64_t timeoutMs) { m_statusChanged.Wait(timeoutMs); }

DownloadInfo CDownloader::info() const {
  std::lock_guard<std::mutex> lock(m_infoLock);
  return m_info;
}

EnumErrorCode CDownloader::downloadInit(const std::string& tag, int logFlag) {
  const EnumErrorCode loaded = m_taskManager.loadDownloadTask(tag, logFlag);
  if (loaded != Completed) {
    QMLOG(" [Error]: "
          << "error to loadDownloadTask");
    return loaded;
  }
  if (m_timings.maxLengthBytes > 0 && m_taskManager.ContentLength() > m_timings.maxLengthBytes) {
    QMLOG(" [Error]: "
          << "remote length " << m_taskManager.ContentLength() << " over the limit " << m_timings.maxLengthBytes);
    return GetLengthFailed;
  }
  const int created = m_threadManager.createThreads(m_workerCount);
  if (created == -1) return OpenFileFailed;
  if (created == 0) {
    QMLOG(" [Error]: "
          << " createThreads is empty");
    return CreateThreadsFailed;
  }
  m_running = false;
  return Completed;
}

int CDownloader::updateDownloadInfo() {
  const std::int64_t now = TickCountMs();
  std::int64_t downloaded = 0;
  int failed = 0;
  for (const auto& task : m_taskManager.allTasks()) {
    downloaded += task->BytesDone();
    failed += task->RequestTimes.load();
  }
  std::lock_guard<std::mutex> lock(m_infoLock);
  // Within the same millisecond only the speed is left alone: the byte count
  // must be current, or a finished run could read as short.
  if (now == m_info.tick) {
    m_info.failedAttempts = failed;
    m_info.downloaded = downloaded;
    return 1;
  }
  const std::int64_t elapsedNow = now - m_info.tick;
  m_taskManager.addDownloadTime(elapsedNow);
  const std::int64_t speed = (downloaded - m_info.downloaded) * 1000 / elapsedNow;
  m_info.speed = CDownloadTaskManager::formatSizeText(speed) + "/S";
  const std::int64_t length = m_taskManager.ContentLength();
  m_info.percent =
      length > 0 ? static_cast<double>(static_cast<std::int64_t>(static_cast<double>(downloaded) / length * 10000)) / 100
                 : 0.0;
  m_info.elapsed = m_taskManager.DownloadTime();
  if (m_info.elapsed > 0) {
    m_info.averageSpeed = CDownloadTaskManager::formatSizeText(downloaded / m_info.elapsed * 1000) + "/S";
  }
  m_info.failedAttempts = failed;
  m_info.downloaded = downloaded;
  m_info.tick = now;
  return 1;
}

std::string CDownloader::makeCdnReport() const {
  std::string statuses;
  std::string atStart;
  for (const CTask* task : m_taskManager.doneTasks()) {
    atStart = task->CdnResult;
    if (!task->CdnStatus.empty()) statuses += task->CdnStatus + ";";
  }
  if (statuses.empty()) return "";
  return "T(" + atStart + ");C(" + statuses + ")";
}

int CDownloader::releaseRun() {
  if (m_dispatcher.joinable()) m_dispatcher.join();
  m_threadManager.closeLocalFile();
  m_taskManager.clearTasks();
  m_status = kPause;
  std::lock_guard<std::mutex> lock(m_infoLock);
  m_info.tick = TickCountMs();
  return 1;
}

bool CDownloader::everyDispatchedComplete() const {
  for (const CTask* task : m_taskManager.doneTasks()) {
    if (task->TaskStatus.load() != kTaskComplete) return false;
  }
  return true;
}

bool CDownloader::allWorkDone() const {
  return !m_taskManager.hasPendingTasks() && everyDispatchedComplete() && !m_threadManager.hasBusyThreads();
}

bool CDownloader::anyTaskIncomplete() const {
  for (const auto& task : m_taskManager.allTasks()) {
    if (task->TaskStatus.load() != kTaskComplete) return true;
  }
  return false;
}

// A failed task is taken up again in the same run after a pause that grows
// with its failures, so a timed-out or cut range goes on from where it
// stopped, and a task that keeps failing is counted against the supervisor's
// limits instead of idling the run until the no-progress limit.
void CDownloader::scheduleRetries() {
  const std::int64_t now = TickCountMs();
  std::vector<CTask*> due;
  for (CTask* task : m_taskManager.doneTasks()) {
    // Given back untouched by a run whose stream failed: pending again now.
    if (task->TaskStatus.load() == kTaskNew) {
      due.push_back(task);
      continue;
    }
    if (task->TaskStatus.load() != kTaskFailed) continue;
    if (task->RetryDueMs == 0) {
      task->RetryDueMs = now + m_timings.retryPauseMs * std::min(task->RequestTimes.load(), 8);
    } else if (now >= task->RetryDueMs) {
      task->RetryDueMs = 0;
      due.push_back(task);
    }
  }
  for (CTask* task : due) m_taskManager.requeueFailedTask(task);
}

void CDownloader::dispatchTurn() {
  m_running = true;
  m_threadManager.recycleIdleThreads();
  updateDownloadInfo();
  scheduleRetries();
  // Each worker streams an even share of what is pending (capped), so one
  // request serves several slices without one worker hoarding them.
  const int share = RunLength(static_cast<std::int64_t>(m_taskManager.pendingCount()),
                              static_cast<std::int64_t>(m_threadManager.threadCount()));
  while (m_taskManager.hasPendingTasks() && m_threadManager.hasIdleThreads()) {
    handOutRun(std::min(share, RunLength(static_cast<std::int64_t>(m_taskManager.pendingCount()),
                                         static_cast<std::int64_t>(m_threadManager.idleCount()))));
  }
  // The last slices must not crawl on one connection each while other
  // workers sit idle: unstarted slices of runs first, then halves of parts.
  while (!m_taskManager.hasPendingTasks() && m_threadManager.hasIdleThreads() && (takeRunTail() || offerHelp())) {
  }
}

namespace {

// next may follow prev in one stream: the very next slice, from the same
// place, with no byte of it on disk.
bool FollowsInStream(const CTask* prev, const CTask* next) {
  return next != nullptr && next->TaskId.load() == prev->TaskId.load() + 1 && next->StartPos == prev->EndPos + 1 &&
         next->RemotePath == prev->RemotePath && next->DownloadedPos.load() == next->StartPos &&
         next->BytesDone() == 0;
}

}  // namespace

void CDownloader::handOutRun(int length) {
  CTask* first = m_taskManager.popPendingTask();
  auto run = std::make_shared<SliceRun>();
  run->tasks.push_back(first);
  if (!m_taskManager.streamRefused()) {
    while (static_cast<int>(run->tasks.size()) < length &&
           FollowsInStream(run->tasks.back(), m_taskManager.peekPendingTask())) {
      run->tasks.push_back(m_taskManager.popPendingTask());
    }
  }
  if (run->tasks.size() == 1) {
    m_threadManager.giveTaskToAThreadTodo(first);
    return;
  }
  run->last = static_cast<int>(run->tasks.size()) - 1;
  m_runs.push_back(run);
  m_threadManager.giveRunToAThreadTodo(std::move(run));
}

bool CDownloader::takeRunTail() {
  std::timed_mutex* lock = m_threadManager.writeMutex();
  if (m_runs.empty() || lock == nullptr) return false;
  CTask* task = nullptr;
  {
    std::lock_guard<std::timed_mutex> guard(*lock);
    // A run with nothing unstarted never has again.
    std::erase_if(m_runs, [](const std::shared_ptr<SliceRun>& run) { return run->unstarted() == 0; });
    SliceRun* best = nullptr;
    for (const auto& run : m_runs) {
      if (best == nullptr || run->unstarted() > best->unstarted()) best = run.get();
    }
    if (best == nullptr) return false;
    task = best->tasks[static_cast<std::size_t>(best->last)];
    --best->last;
  }
  if (task->LogFlag != 0) QMLOG(" Tasks info, taken from a run, id = " << task->TaskId.load());
  if (m_threadManager.giveTaskToAThreadTodo(task) == 1) return true;
  // Nobody took it: pending again at the next turn.
  task->TaskStatus = kTaskNew;
  return false;
}

bool CDownloader::offerHelp() {
  std::timed_mutex* lock = m_threadManager.writeMutex();
  if (m_timings.splitMinimumBytes <= 0 || lock == nullptr) return false;
  CTask* best = nullptr;
  int part = SliceParts::kNone;
  std::int64_t from = 0;
  std::int64_t to = 0;
  {
    std::lock_guard<std::timed_mutex> guard(*lock);
    std::int64_t bestSize = 0;
    for (CTask* task : m_taskManager.doneTasks()) {
      const std::int64_t size = task->Parts.helpSize(m_timings.splitMinimumBytes, m_timings.splitAlignBytes);
      if (size > bestSize) {
        bestSize = size;
        best = task;
      }
    }
    if (best == nullptr) return false;
    part = best->Parts.takeHelp(m_timings.splitMinimumBytes, m_timings.splitAlignBytes);
    if (part == SliceParts::kNone) return false;
    from = best->Parts.part(part).writePos;
    to = best->Parts.part(part).limit;
  }
  if (best->LogFlag != 0) QMLOG(" Tasks info, split, id = " << best->TaskId.load() << ", range " << from << "-" << to);
  if (m_threadManager.giveHelpToAThreadTodo(best, part) == 1) return true;
  // Nobody took it: the part is a gap again, which the slice's own worker
  // or the next attempt fetches.
  std::lock_guard<std::timed_mutex> guard(*lock);
  best->Parts.unclaim(part);
  if (!best->Parts.anyClaimed()) {
    // Its worker left meanwhile, expecting the helper to settle the slice.
    best->RequestTimes += 1;
    best->TaskStatus = kTaskFailed;
  }
  return false;
}

void CDownloader::downloaderThread() {
  int saveMark = 0;
  for (;;) {
    const int status = m_status.load();
    if (status == kStop) {
      stopRuns();
      if (!m_threadManager.hasBusyThreads()) break;
      m_threadManager.recycleIdleThreads();
      updateDownloadInfo();
      m_wake.Wait(m_timings.dispatchPeriodMs);
    } else if (status == kPause) {
      m_wake.Wait();
    } else if (status == kRun) {
      if (info().percent / 10 > saveMark) {
        ++saveMark;
        // Written by the saver: workers never wait on the disk for a task.
        if (!m_taskManager.allTasks().empty()) m_saver.post(m_taskManager.buildTaskInfoXml());
      }
      if (allWorkDone()) {
        // No pause here: the stop branch itself waits for busy workers.
        setStatus(kStop);
        QMLOG(" Download will stop");
        continue;
      }
      dispatchTurn();
      // The turn may have recycled the last busy worker: stop without waiting.
      if (!allWorkDone()) m_wake.Wait(m_timings.dispatchPeriodMs);
    }
  }
  finishRun();
}

void CDownloader::stopRuns() {
  std::timed_mutex* lock = m_threadManager.writeMutex();
  if (m_runs.empty() || lock == nullptr) return;
  std::lock_guard<std::timed_mutex> guard(*lock);
  for (const auto& run : m_runs) run->stopping = true;
  m_runs.clear();
}

void CDownloader::finishRun() {
  m_runs.clear();
  // The saves below come after every periodic one.
  m_saver.drain();
  // A task marked complete whose bytes are not all there (a saved list can say
  // so) is retried by the next run instead of being trusted for ever.
  for (const auto& task : m_taskManager.allTasks()) {
    if (task->TaskStatus.load() == kTaskComplete && !task->IsRangeComplete()) task->TaskStatus = kTaskFailed;
  }
  if (anyTaskIncomplete()) {
    QMLOG(" Stopping Download,"
          << "Mission Failed");
    m_taskManager.saveTaskInfo();
  }
  m_threadManager.stopThreads();
  updateDownloadInfo();
  QMLOG(" Stopping Download,"
        << "Update DownloadInfo");
  m_taskManager.saveTaskInfo();
  platform::DropReplacementReserve(m_taskInfoPath);
  QMLOG(" Download Stopped！");
  m_dispatcherEnded.Set();
}
