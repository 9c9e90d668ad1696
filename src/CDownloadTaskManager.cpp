#include "CDownloadTaskManager.h"

#include <algorithm>
#include <filesystem>

#include "Logger.h"
#include "SingleUserLog.h"

namespace {

std::int64_t FileSizeOrMinusOne(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

}  // namespace

CDownloadTaskManager::CDownloadTaskManager(const std::string& url, const std::string& localPath,
                                           const std::string& taskInfoPath, const DownloadTimings& timings,
                                           CSingleUserLog* userLog)
    : m_localPath(localPath),
      m_timings(timings),
      m_log(CSingleUserLog::GivenOrProcess(userLog)),
      m_probe(url, localPath, timings, &m_log),
      m_file(localPath, taskInfoPath) {}

CDownloadTaskManager::~CDownloadTaskManager() = default;

CTask* CDownloadTaskManager::popPendingTask() {
  if (m_pending.empty()) return nullptr;
  CTask* task = m_pending.front();
  m_pending.pop_front();
  task->TaskStatus = kTaskHandedOut;
  m_done.push_back(task);
  return task;
}

int CDownloadTaskManager::pushPendingTask(CTask* task) {
  if (task == nullptr) return 0;
  m_pending.push_back(task);
  return 1;
}

int CDownloadTaskManager::pushDoneTask(CTask* task) {
  if (task == nullptr) return 0;
  m_done.push_back(task);
  return 1;
}

void CDownloadTaskManager::addTask(std::unique_ptr<CTask> task) {
  CTask* raw = task.get();
  raw->Probed = m_probe.validators();
  raw->RemoteChanged = m_remoteChanged;
  raw->StreamRefused = m_streamRefused;
  raw->Cancel = m_timings.cancel;
  m_tasks.push_back(std::move(task));
  m_tasksCount = static_cast<int>(m_tasks.size());
  if (raw->TaskStatus.load() == kTaskComplete) {
    pushDoneTask(raw);
  } else {
    pushPendingTask(raw);
  }
}

void CDownloadTaskManager::requeueFailedTask(CTask* task) {
  const auto it = std::find(m_done.begin(), m_done.end(), task);
  if (it == m_done.end()) return;
  m_done.erase(it);
  pushPendingTask(task);
}

void CDownloadTaskManager::clearTasks() {
  m_done.clear();
  m_pending.clear();
  m_tasks.clear();
  m_tasksCount = 0;
}

void CDownloadTaskManager::logCounts(const char* what) const {
  QMLOG(" Tasks info, " << what << " ok, total " << m_tasks.size() << ", todo " << m_pending.size()
                        << ", complete " << m_done.size());
}

EnumErrorCode CDownloadTaskManager::generateDownloadTask(const std::string& tag, int logFlag) {
  std::string cdnResult;
  CURLcode code = CURLE_OK;
  const std::int64_t length = m_probe.measure(tag, code, cdnResult, logFlag);
  if (length <= 0) {
    QMLOG(" [Error]: "
          << "could not get the content length, curl code " << static_cast<int>(code));
    return code == CURLE_TOO_MANY_REDIRECTS ? TooManyRedirects : GetLengthFailed;
  }
  m_contentLength = length;
  int id = 0;
  for (const SliceRange& slice : MakeSlices(length)) {
    auto task = std::make_unique<CTask>();
    task->TaskId = ++id;
    task->RemotePath = m_probe.url();
    task->LocalPath = m_localPath;
    task->CdnResult = cdnResult;
    task->StartPos = slice.start;
    task->EndPos = slice.end;
    task->DownloadedPos = slice.start;
    task->ContentLength = length;
    task->LogFlag = logFlag;
    addTask(std::move(task));
  }
  if (logFlag != 0) logCounts("generate");
  return Completed;
}

bool CDownloadTaskManager::loadTaskFromFile(int logFlag) {
  SavedTaskList saved{m_contentLength, m_downloadTime, {}};
  m_file.read(saved);
  m_contentLength = saved.contentLength;
  m_downloadTime = saved.downloadTime;
  bool allComplete = true;
  for (auto& task : saved.tasks) {
    task->LogFlag = logFlag;
    if (task->TaskStatus.load() != kTaskComplete) allComplete = false;
    addTask(std::move(task));
  }
  if (logFlag != 0) logCounts("load");
  return allComplete;
}

int CDownloadTaskManager::verifyTaskInfo(int logFlag) {
  // A file that loaded no task (unreadable, no root) is an inconsistent list,
  // whatever its length says.
  if (m_tasks.empty()) {
    m_log.AddUserLog("Other", "FlowError", "DL026", false);
    return 3;
  }
  CURLcode code = CURLE_OK;
  std::string cdnResult;
  const std::int64_t remote = m_probe.probeLength(code, cdnResult, logFlag, nullptr);
  if (remote <= 0) return 0;
  if (remote != m_contentLength) {
    m_log.AddUserLog("Other", "FlowError", "DL025", false);
    return 2;
  }
  std::vector<SavedSlice> slices;
  slices.reserve(m_tasks.size());
  for (const auto& task : m_tasks) {
    // The loaded slices continue under this probe's validators.
    task->Probed = m_probe.validators();
    slices.push_back({task->StartPos, task->EndPos, task->DownloadedPos.load(), task->TaskId.load(),
                      task->TaskStatus.load(), !task->RemotePath.empty()});
  }
  if (!TaskListConsistent(slices, m_contentLength, FileSizeOrMinusOne(m_localPath))) {
    m_log.AddUserLog("Other", "FlowError", "DL026", false);
    return 3;
  }
  return 1;
}

void CDownloadTaskManager::discardSavedState() {
  clearTasks();
  m_file.removeWithPackage();
  m_contentLength = 0;
  m_downloadTime = 0;
}

EnumErrorCode CDownloadTaskManager::loadDownloadTask(const std::string& tag, int logFlag) {
  if (isTaskInfoExist()) {
    const bool allComplete = loadTaskFromFile(logFlag);
    const int verdict = verifyTaskInfo(logFlag);
    if (verdict == 1) {
      QMLOG(" Load tasks from file success!");
      if (!allComplete) m_log.AddUserLog_funnelEx("Download", "ResumUpload", "", "", false);
      return Completed;
    }
    if (verdict == 0) {
      // Without the server's answer nothing proves the saved state wrong:
      // keep the package and its task list for the next run.
      QMLOG(" [Error]: "
            << "could not verify the task info, length unknown");
      clearTasks();
      return GetLengthFailed;
    }
    QMLOG(" taskinfo file error");
    discardSavedState();
  }
  return generateDownloadTask(tag, logFlag);
}

int CDownloadTaskManager::saveTaskInfo() {
  // An empty list says nothing worth keeping, and writing it would make the
  // next run discard a package that a saved list still describes.
  if (m_tasks.empty()) return 1;
  // The list is taken first and the package flushed after: every byte the
  // list claims is then on the disk before the list is, so a power loss never
  // leaves a list that claims bytes the package lacks.
  m_file.store(buildTaskInfoXml());
  return 1;
}

void CDownloadTaskManager::DiscardChangedFile(const std::string& url, const std::string& localPath,
                                              const std::string& taskInfoPath, CSingleUserLog* userLog) {
  TaskInfoFile::DiscardForChangedFile(localPath, taskInfoPath);
  LengthProbe::Forget(url, userLog);
}

std::string CDownloadTaskManager::formatSizeUnits(std::int64_t bytes) { return FormatSizeUnits(bytes); }

std::string CDownloadTaskManager::formatSizeText(std::int64_t bytes) { return FormatSizeText(bytes); }
