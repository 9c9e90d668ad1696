#include "CDownloadTaskManager.h"

#include <tinyxml2.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "CLibcurlTool.h"
#include "HttpHeaderText.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "platform/AtomicFile.h"

namespace {

// Validators learnt with a cached length, kept beside it under the same key.
std::mutex g_validatorsLock;
std::map<std::string, Validators> g_validators;

void CacheValidators(const std::string& key, const Validators& validators) {
  std::lock_guard<std::mutex> lock(g_validatorsLock);
  if (validators.empty()) {
    g_validators.erase(key);
  } else {
    g_validators[key] = validators;
  }
}

Validators CachedValidators(const std::string& key) {
  std::lock_guard<std::mutex> lock(g_validatorsLock);
  const auto it = g_validators.find(key);
  return it == g_validators.end() ? Validators{} : it->second;
}

constexpr int kLengthTries = 10;
constexpr int kProbeLimit = 10;
constexpr std::int64_t kMaxDownloadTimeMs = std::int64_t{10} * 366 * 24 * 3600 * 1000;  // ten years

std::int64_t FileSizeOrMinusOne(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

// Size of the filesystem that will hold the package (0 when unknown): its
// folder, or the nearest folder above it that exists.
std::int64_t DiskBytesFor(const std::string& packagePath) {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::path(packagePath).parent_path();
  while (!folder.empty() && !std::filesystem::exists(folder, ec) && folder != folder.parent_path()) {
    folder = folder.parent_path();
  }
  const std::filesystem::space_info space = std::filesystem::space(folder.empty() ? "." : folder, ec);
  if (ec || space.capacity == static_cast<std::uintmax_t>(-1)) return 0;
  return static_cast<std::int64_t>(std::min<std::uintmax_t>(space.capacity, INT64_MAX));
}

void AddNumber(tinyxml2::XMLDocument& doc, tinyxml2::XMLElement* parent, const char* name, std::int64_t value) {
  parent->InsertEndChild(doc.NewElement(name))->ToElement()->SetText(value);
}

void AddText(tinyxml2::XMLDocument& doc, tinyxml2::XMLElement* parent, const char* name, const std::string& value) {
  parent->InsertEndChild(doc.NewElement(name))->ToElement()->SetText(value.c_str());
}

void ReadNumber(const tinyxml2::XMLElement* e, std::int64_t& field) {
  std::int64_t value = 0;
  if (e->QueryInt64Text(&value) == tinyxml2::XML_SUCCESS) field = value;
}

void ReadNumber(const tinyxml2::XMLElement* e, std::atomic<int>& field) {
  int value = 0;
  if (e->QueryIntText(&value) == tinyxml2::XML_SUCCESS) field = value;
}

std::string TextOf(const tinyxml2::XMLElement* e) { return e->GetText() != nullptr ? e->GetText() : ""; }

// One <Task> element into a task; unknown names ignored, later ones win.
std::unique_ptr<CTask> ReadTask(const tinyxml2::XMLElement* element) {
  auto task = std::make_unique<CTask>();
  for (const auto* e = element->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    const std::string name = e->Name();
    if (name == "StartPos") {
      ReadNumber(e, task->StartPos);
    } else if (name == "EndPos") {
      ReadNumber(e, task->EndPos);
    } else if (name == "DownloadedPos") {
      std::int64_t value = task->DownloadedPos.load();
      ReadNumber(e, value);
      task->DownloadedPos = value;
    } else if (name == "RemotePath") {
      task->RemotePath = TextOf(e);
    } else if (name == "LocalPath") {
      task->LocalPath = TextOf(e);
    } else if (name == "TaskStatus") {
      ReadNumber(e, task->TaskStatus);
    } else if (name == "TaskId") {
      ReadNumber(e, task->TaskId);
    } else if (name == "RequestTimes") {
      task->RequestTimes = 0;
    }
  }
  return task;
}

}  // namespace

CDownloadTaskManager::CDownloadTaskManager(const std::string& url, const std::string& localPath,
                                           const std::string& taskInfoPath, const DownloadTimings& timings)
    : m_taskInfoPath(taskInfoPath), m_url(url), m_localPath(localPath), m_timings(timings) {}

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
  raw->Probed = m_validators;
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

bool CDownloadTaskManager::isTaskInfoExist() const {
  std::FILE* file = std::fopen(m_taskInfoPath.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

void CDownloadTaskManager::logCounts(const char* what) const {
  QMLOG(" Tasks info, " << what << " ok, total " << m_tasks.size() << ", todo " << m_pending.size()
                        << ", complete " << m_done.size());
}

std::int64_t CDownloadTaskManager::getContentLength(CURLcode& code, std::string& cdnResult, int logFlag) {
  if (const auto cached = CSingleUserLog::GetInstance()->LookupContentLength(m_url); cached != 0) {
    cdnResult.clear();
    m_validators = CachedValidators(m_url);
    return static_cast<std::int64_t>(cached);
  }
  return askContentLength(code, cdnResult, logFlag);
}

std::int64_t CDownloadTaskManager::askContentLength(CURLcode& code, std::string& cdnResult, int logFlag) {
  code = CURLE_OK;
  CLibcurlTool tool(m_timings);
  // One limit for the probe and all its hops, so a chain of slow redirects
  // costs no more than one slow reply.
  const std::int64_t deadline = TickCountMs() + m_timings.probeTimeoutMs;
  for (int probes = 1;; ++probes) {
    std::string headers;
    long status = 0;
    const std::int64_t left = deadline - TickCountMs();
    if (left <= 0) {
      QMLOG(" [Error]: "
            << "length probe out of time after " << probes - 1 << " hops");
      code = CURLE_OPERATION_TIMEDOUT;
      cdnResult.clear();
      return 0;
    }
    QMLOG(" before getContentLength GetHeader");
    code = tool.httpGetHeaders(m_url, headers, status, left);
    QMLOG(" after getContentLength GetHeader");
    const ProbeCdn cdn = FindProbeCdn(headers);
    if (cdn.cloudflare) {
      QMLOG(" Cdn result: " << cdn.cacheStatus << ", " << cdn.dataCentre);
      CSingleUserLog::GetInstance()->AddUserLog("Download", "3.CDNStatus", cdn.dataCentre + "/" + cdn.cacheStatus,
                                                false);
    } else if (cdn.xCache) {
      cdnResult = cdn.xCacheValue;
      QMLOG(" Cdn result: " << cdnResult);
      CSingleUserLog::GetInstance()->AddUserLog("Download", "3.CDNStatus", cdnResult, false);
    }
    // A probe cut short (by its deadline, say) may still hold a status line
    // and a length: half a reply is no answer.
    if (status != 200 || code != CURLE_OK) {
      cdnResult.clear();
      return 0;
    }
    bool redirected = false;
    const std::string location(TrimBlanks(FindHeaderRaw(headers, "Location", &redirected)));
    if (!redirected) {
      const std::int64_t length = LengthFromProbeHeaders(headers);
      if (logFlag != 0) QMLOG(" Get Contentlength = " << length);
      if (length == 0) return 0;
      // Slicing an absurd length would mean millions of tasks for a file no
      // disk here can hold: that answer is a failed probe.
      if (!PlausiblePackageLength(length, DiskBytesFor(m_localPath))) {
        QMLOG(" [Error]: "
              << "content length " << length << " refused, larger than the disk or 1 TiB");
        return 0;
      }
      m_validators = FinalHopValidators(headers);
      CSingleUserLog::GetInstance()->CacheContentLength(m_url, static_cast<std::uint64_t>(length));
      CacheValidators(m_url, m_validators);
      if (logFlag != 0) QMLOG(" Probe validators: etag " << m_validators.etag << ", last-modified " << m_validators.lastModified);
      return length;
    }
    m_url = ResolveLocation(m_url, location);
    // Probes are bounded even when no transfer reports too many redirects
    // (a 200 carrying a Location to itself would otherwise loop for ever).
    if (probes >= kProbeLimit) {
      if (logFlag != 0) QMLOG(" Get Contentlength = " << 0 << ", error CURLE_TOO_MANY_REDIRECTS");
      code = CURLE_TOO_MANY_REDIRECTS;
      cdnResult.clear();
      return 0;
    }
  }
}

std::int64_t CDownloadTaskManager::probeLength(CURLcode& code, std::string& cdnResult, int logFlag,
                                               std::vector<std::string>* records) {
  const std::int64_t start = TickCountMs();
  for (int attempt = 0; attempt < kLengthTries; ++attempt) {
    if (attempt > 0 && TickCountMs() - start >= m_timings.probeBudgetMs) {
      QMLOG(" [Error]: "
            << "length probes stopped after " << attempt << " tries, " << TickCountMs() - start
            << " ms");
      break;
    }
    // Generation may use a cached answer; verification (records null) checks
    // the saved length and so asks the server afresh.
    const std::int64_t length = records != nullptr ? getContentLength(code, cdnResult, logFlag)
                                                   : askContentLength(code, cdnResult, logFlag);
    if (length > 0) {
      if (records != nullptr) records->push_back("Success");
      return length;
    }
    if (records != nullptr) records->push_back("error:" + std::to_string(static_cast<int>(code)));
    if (attempt + 1 < kLengthTries) std::this_thread::sleep_for(std::chrono::milliseconds(m_timings.probeRetryPauseMs));
  }
  return 0;
}

EnumErrorCode CDownloadTaskManager::generateDownloadTask(const std::string& tag, int logFlag) {
  std::string cdnResult;
  CURLcode code = CURLE_OK;
  std::vector<std::string> records;
  const std::int64_t length = probeLength(code, cdnResult, logFlag, &records);
  records.resize(kLengthTries, "Null");
  if (!tag.empty()) {
    std::string joined;
    for (const auto& record : records) {
      if (!joined.empty()) joined += "/";
      joined += record;
    }
    joined = joined.substr(0, 2047);
    CSingleUserLog::GetInstance()->AddUserLog("Other", "Download", joined, false);
    QMLOG(" GetSize: " << tag << ", " << joined);
  }
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
    task->RemotePath = m_url;
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
  tinyxml2::XMLDocument doc;
  if (isTaskInfoExist()) {
    std::ifstream in(m_taskInfoPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    if (doc.Parse(content.c_str(), content.size()) != tinyxml2::XML_SUCCESS) doc.Clear();
  }
  bool allComplete = true;
  const tinyxml2::XMLElement* root = doc.FirstChildElement();
  for (const auto* e = root != nullptr ? root->FirstChildElement() : nullptr; e != nullptr;
       e = e->NextSiblingElement()) {
    const std::string name = e->Name();
    if (name == "TasksCount") {
      std::int64_t count = 0;
      ReadNumber(e, count);
    } else if (name == "ContentLength") {
      ReadNumber(e, m_contentLength);
    } else if (name == "DownloadTime") {
      ReadNumber(e, m_downloadTime);
      // Only a statistic, but later sums add to it: a time no run could
      // have spent starts over.
      if (m_downloadTime < 0 || m_downloadTime > kMaxDownloadTimeMs) m_downloadTime = 0;
    } else if (name == "Task") {
      auto task = ReadTask(e);
      if (task->ContentLength == 0) task->ContentLength = m_contentLength;
      task->LogFlag = logFlag;
      if (task->TaskStatus.load() != kTaskComplete) allComplete = false;
      addTask(std::move(task));
    }
  }
  if (logFlag != 0) logCounts("load");
  return allComplete;
}

int CDownloadTaskManager::verifyTaskInfo(int logFlag) {
  // A file that loaded no task (unreadable, no root) is an inconsistent list,
  // whatever its length says.
  if (m_tasks.empty()) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL026", false);
    return 3;
  }
  CURLcode code = CURLE_OK;
  std::string cdnResult;
  const std::int64_t remote = probeLength(code, cdnResult, logFlag, nullptr);
  if (remote <= 0) return 0;
  if (remote != m_contentLength) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL025", false);
    return 2;
  }
  std::vector<SavedSlice> slices;
  slices.reserve(m_tasks.size());
  for (const auto& task : m_tasks) {
    // The loaded slices continue under this probe's validators.
    task->Probed = m_validators;
    slices.push_back({task->StartPos, task->EndPos, task->DownloadedPos.load(), task->TaskId.load(),
                      task->TaskStatus.load(), !task->RemotePath.empty()});
  }
  if (!TaskListConsistent(slices, m_contentLength, FileSizeOrMinusOne(m_localPath))) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL026", false);
    return 3;
  }
  return 1;
}

void CDownloadTaskManager::discardSavedState() {
  clearTasks();
  std::remove(m_localPath.c_str());
  std::remove(m_taskInfoPath.c_str());
  m_contentLength = 0;
  m_downloadTime = 0;
}

EnumErrorCode CDownloadTaskManager::loadDownloadTask(const std::string& tag, int logFlag) {
  if (isTaskInfoExist()) {
    const bool allComplete = loadTaskFromFile(logFlag);
    const int verdict = verifyTaskInfo(logFlag);
    if (verdict == 1) {
      QMLOG(" Load tasks from file success!");
      if (!allComplete) {
        CSingleUserLog::GetInstance()->AddUserLog_funnelEx("Download", "ResumUpload", "", "", false);
      }
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

std::string CDownloadTaskManager::buildTaskInfoXml() const {
  tinyxml2::XMLDocument doc;
  auto* root = doc.NewElement("TaskInfo");
  doc.InsertEndChild(root);
  AddNumber(doc, root, "TasksCount", static_cast<std::int64_t>(m_tasks.size()));
  AddNumber(doc, root, "ContentLength", m_contentLength);
  AddNumber(doc, root, "DownloadTime", m_downloadTime);
  for (const auto& task : m_tasks) {
    auto* e = doc.NewElement("Task");
    root->InsertEndChild(e);
    AddNumber(doc, e, "StartPos", task->StartPos);
    AddNumber(doc, e, "EndPos", task->EndPos);
    AddNumber(doc, e, "DownloadedPos", task->DownloadedPos.load());
    AddText(doc, e, "RemotePath", task->RemotePath);
    AddText(doc, e, "LocalPath", task->LocalPath);
    AddNumber(doc, e, "TaskStatus", task->TaskStatus.load());
    AddNumber(doc, e, "TaskId", task->TaskId.load());
    AddNumber(doc, e, "RequestTimes", task->RequestTimes.load());
  }
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return printer.CStr();
}

int CDownloadTaskManager::saveTaskInfo() {
  // An empty list says nothing worth keeping, and writing it would make the
  // next run discard a package that a saved list still describes.
  if (m_tasks.empty()) return 1;
  // The list is taken first and the package flushed after: every byte the
  // list claims is then on the disk before the list is, so a power loss never
  // leaves a list that claims bytes the package lacks.
  StoreTaskInfo(m_localPath, m_taskInfoPath, buildTaskInfoXml());
  return 1;
}

bool CDownloadTaskManager::StoreTaskInfo(const std::string& localPath, const std::string& taskInfoPath,
                                         const std::string& xml) {
  if (!platform::FlushFileData(localPath)) {
    QMLOG(" [Error]: "
          << "package not flushed, task info not saved");
    return false;
  }
  platform::ReplaceFileContent(taskInfoPath, xml);
  return true;
}

void CDownloadTaskManager::DiscardChangedFile(const std::string& url, const std::string& localPath,
                                              const std::string& taskInfoPath) {
  std::remove(taskInfoPath.c_str());
  if (::truncate(localPath.c_str(), 0) != 0 && errno != ENOENT) {
    QMLOG(" [Error]: "
          << "package of the old file not truncated, errno " << errno);
  }
  CSingleUserLog::GetInstance()->ForgetContentLength(url);
  CacheValidators(url, Validators{});
}

std::string CDownloadTaskManager::formatSizeUnits(std::int64_t bytes) { return FormatSizeUnits(bytes); }

std::string CDownloadTaskManager::formatSizeText(std::int64_t bytes) { return FormatSizeText(bytes); }
