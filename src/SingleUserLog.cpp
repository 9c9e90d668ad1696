#include "SingleUserLog.h"

#include "BuildSettings.h"
#include "ExportedFunctions.h"
#include "FunnelDocument.h"
#include "FuntionImpl.h"
#include "Ga4Hit.h"
#include "GalogFile.h"
#include "Logger.h"
#include "ReportHost.h"
#include "TestSettings.h"
#include "platform/Paths.h"
#include "platform/ThreadStart.h"

UserLogSettings& CSingleUserLog::PendingSettings() {
  static UserLogSettings settings;
  return settings;
}

std::atomic<bool>& CSingleUserLog::InstanceMade() {
  static std::atomic<bool> made{false};
  return made;
}

bool CSingleUserLog::SetInstanceSettings(const UserLogSettings& settings) {
  if (InstanceMade()) return false;
  PendingSettings() = settings;
  return true;
}

CSingleUserLog* CSingleUserLog::GetInstance() {
  static CSingleUserLog instance(PendingSettings());
  return &instance;
}

CSingleUserLog& CSingleUserLog::GivenOrProcess(CSingleUserLog* given) {
  return given != nullptr ? *given : *GetInstance();
}

std::unique_ptr<CSingleUserLog> CSingleUserLog::CreateStandalone(const UserLogSettings& settings) {
  return std::unique_ptr<CSingleUserLog>(new CSingleUserLog(settings));
}

CSingleUserLog::CSingleUserLog(const UserLogSettings& settings)
    : settings_(settings), ga4Queue_("UserLogGA4Mutex"), funnelQueue_("UserLogFunnelMutex") {
  InstanceMade() = true;
  const std::string exe =
      settings_.executablePath.empty() ? platform::ExecutablePath() : settings_.executablePath;
  context_ = std::make_shared<const TelemetryContext>(MachineTelemetryContext(exe));
  disabled_ = settings_.disabled.value_or(IsAutoRun());
  if (settings_.withWebLog) {
    report::SetHost(ProgramReportHost());
    webLog_ = CreateExportObj();
  }
  if (!disabled_) thread_ = platform::StartThread([this] { UserLogManagerThread(); });
}

CSingleUserLog::~CSingleUserLog() {
  // A thread still sending at this point would outlive the object it uses:
  // give up what is pending, end transfers in flight and join it.
  exitRequested_ = true;
  abandon_ = true;
  if (webLog_ != nullptr) webLog_->CancelTransfers();
  {
    std::lock_guard<std::mutex> lock(threadMutex_);
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  DestroyExportObj(webLog_);
  webLog_ = nullptr;
}

void CSingleUserLog::Record(const UserLogItem& item) {
  if (!recording_.load(std::memory_order_relaxed)) return;
  std::lock_guard<std::mutex> lock(recordMutex_);
  recorded_.push_back(item);
}

std::vector<UserLogItem> CSingleUserLog::TakeRecordedEvents() {
  recording_ = true;
  std::lock_guard<std::mutex> lock(recordMutex_);
  std::vector<UserLogItem> out;
  out.swap(recorded_);
  for (auto& item : out) {
    if (item.body.empty() && item.funnel) item.body = FunnelEventDocument(*item.funnel);
  }
  return out;
}

void CSingleUserLog::DeriveFlowErrorEvents(const std::string& category, const std::string& action,
                                           const std::string& label, bool wait) {
  if (category == "Other" && action == "FlowError") {
    AddUserLog_funnelEx("ErrorReporting", "Error", "MainErrorType", label, wait);
  }
  if (action == "FlowError") {
    if (!flowErrorStarted_.exchange(true)) {
      AddUserLog_funnel("CoreFuncEvent", "FlowError", 0, "Download", "CoreFuncStart", "null", false);
    }
    const int step = flowErrorStep_.fetch_add(1);
    AddUserLog_funnel("CoreFuncEvent", "FlowError", step, "Download", label, "null", false);
  } else if (category == "CrashRate" && action == "Close" && flowErrorStarted_) {
    AddUserLog_funnel("CoreFuncEvent", "FlowError", 0, "Download", "CoreFuncEnd", "null", true);
  }
}

int CSingleUserLog::AddUserLog(const std::string& category, const std::string& action,
                               const std::string& label, bool wait) {
  if (disabled_) return -99;
  DeriveFlowErrorEvents(category, action, label, wait);
  Record({category, action, label, "", 0});
  if (!wait) {
    ga4Queue_.TryPush({category, action, label, "", 0}, LockWait());
    return 0;
  }
  if (webLog_ == nullptr) return -1;
  int rc = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    rc = SendGa4Hit(category, action, label);
    if (rc == 0) return 0;
  }
  QMLOG(" send ga4 fail, bWait = true, retry is max, retcode = " << rc << ", " << category << "###"
                                                                 << action);
  return rc;
}

int CSingleUserLog::SendGa4Hit(const std::string& category, const std::string& action,
                               const std::string& label) {
  if (disabled_) return -99;
  if (webLog_ == nullptr) return -1;
  return webLog_->PostGa4Hit(Ga4HitText(Context(), build::kGa4MeasurementId, category, action, label));
}

int CSingleUserLog::SendFunnel(FunnelEvent event, bool wait) {
  if (!wait) {
    // Only plain values are taken here; the document is built on delivery.
    auto values = std::make_shared<const FunnelEvent>(std::move(event));
    if (recording_.load(std::memory_order_relaxed)) {
      Record({values->category, values->action, values->label, "", 0, values});
    }
    funnelQueue_.TryPush({"", "", "", "", 0, std::move(values)}, LockWait());
    return 0;
  }
  const std::string document = FunnelEventDocument(event);
  Record({event.category, event.action, event.label, document, 0});
  if (webLog_ == nullptr) return -1;
  int rc = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    rc = webLog_->SoftDataReport(document);
    if (rc == 0) return 0;
  }
  QMLOG(" send funnel fail, bWait = true, retry is max, retcode = " << rc << ", " << event.category << "###"
                                                                    << event.action);
  return rc;
}

int CSingleUserLog::AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName,
                                      int funcStep, const std::string& category,
                                      const std::string& action, const std::string& label, bool wait) {
  if (disabled_) return -99;
  RecordVersionOnce();
  FunnelEvent event{ContextSnapshot(), WindowFacts(mainWindow_.load()), true, eventType, coreFuncName, funcStep, category, action, label, {}};
  return SendFunnel(std::move(event), wait);
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::map<std::string, std::string>& fields, bool wait) {
  if (disabled_) return -99;
  RecordVersionOnce();
  FunnelEvent event{ContextSnapshot(), WindowFacts(mainWindow_.load()), false, "", "", 0, category, action,
                    "", fields};
  return SendFunnel(std::move(event), wait);
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::string& key, const std::string& value, bool wait) {
  return AddUserLog_funnelEx(category, action, std::map<std::string, std::string>{{key, value}}, wait);
}

std::string CSingleUserLog::GalogPath() const {
  const std::string dir = GetLogDir();
  return dir.empty() ? std::string() : dir + "/galog.json";
}

void CSingleUserLog::RecordVersionOnce() {
  if (!versionPending_.load() || !versionPending_.exchange(false)) return;
  const std::string path = GalogPath();
  if (path.empty()) return;  // no log folder yet: nowhere to keep it
  std::lock_guard<std::mutex> lock(galogMutex_);
  RecordVersion(path, ContextSnapshot()->toolsVersion);
}

void CSingleUserLog::SetBaseInfo(int siteId, const std::string& productName,
                                 const std::string& downloadUrl, bool kitFlag, int mainPid) {
  const std::string path = GalogPath();
  bool isNew = true;
  if (!path.empty()) {
    std::lock_guard<std::mutex> lock(galogMutex_);
    isNew = MarkRunDay(path, LocalToday());
  }
  std::lock_guard<std::mutex> lock(contextMutex_);
  auto next = std::make_shared<TelemetryContext>(*context_);
  next->siteId = siteId;
  next->productName = productName;
  next->downloadUrl = downloadUrl;
  next->kitFlag = kitFlag;
  next->mainPid = mainPid;
  next->isNew = isNew;
  context_ = std::move(next);
}

void CSingleUserLog::SetMainWindow(const ITelemetryWindow* window) { mainWindow_ = window; }

std::shared_ptr<const TelemetryContext> CSingleUserLog::ContextSnapshot() const {
  std::lock_guard<std::mutex> lock(contextMutex_);
  return context_;
}

TelemetryContext CSingleUserLog::Context() const { return *ContextSnapshot(); }

int CSingleUserLog::InitLogPath(const std::string& stem) {
  const std::string stamp = LocalTimeStamp17();
  const std::string logDir = platform::StateHome() + "/RARivadurize/logs/" + stem;
  CreatePrivateDirectories(logDir);
  // Downloads go to the cache home: the user's own, movable data lives there.
  const std::string workDir = platform::CacheHome() + "/RARivadurize/" + stem;
  CreatePrivateDirectories(workDir);
  std::lock_guard<std::mutex> lock(pathMutex_);
  startStamp_ = stamp;
  logDir_ = logDir;
  logFilePath_ = logDir + "/" + stem + "_" + stamp + ".log";
  workDir_ = workDir;
  return 1;
}

std::string CSingleUserLog::GetLogFilePath() const {
  std::lock_guard<std::mutex> lock(pathMutex_);
  return logFilePath_;
}
std::string CSingleUserLog::GetLogDir() const {
  std::lock_guard<std::mutex> lock(pathMutex_);
  return logDir_;
}
std::string CSingleUserLog::GetWorkDir() const {
  std::lock_guard<std::mutex> lock(pathMutex_);
  return workDir_;
}
std::string CSingleUserLog::GetStartStamp() const {
  std::lock_guard<std::mutex> lock(pathMutex_);
  return startStamp_;
}

void CSingleUserLog::CacheContentLength(const std::string& key, std::uint64_t length) {
  if (key.empty() || length == 0) return;
  std::lock_guard<std::mutex> lock(cacheMutex_);
  contentLengthCache_[key] = length;
}

void CSingleUserLog::ForgetContentLength(const std::string& key) {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  contentLengthCache_.erase(key);
}

std::uint64_t CSingleUserLog::LookupContentLength(const std::string& key) const {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  const auto it = contentLengthCache_.find(key);
  return it == contentLengthCache_.end() ? 0 : it->second;
}

int CSingleUserLog::GetSiteId() const { return Context().siteId; }
std::string CSingleUserLog::GetProductName() const { return Context().productName; }
std::string CSingleUserLog::GetDownloadUrl() const { return Context().downloadUrl; }
bool CSingleUserLog::GetKitFlag() const { return Context().kitFlag; }
int CSingleUserLog::GetMainPid() const { return Context().mainPid; }
bool CSingleUserLog::IsNew() const { return Context().isNew; }
