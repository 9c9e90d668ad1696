#include "SingleUserLog.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "TestSettings.h"
#include "Logger.h"
#include "platform/Paths.h"

namespace {

// Local time as 17 digits: year, month, day, hour, minute, second, millisecond.
std::string LocalStamp17() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%.4d%.2d%.2d%.2d%.2d%.2d%.3d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(now.tv_usec / 1000));
  return text;
}

void MakeFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
}

}  // namespace

CSingleUserLog* CSingleUserLog::GetInstance() {
  static CSingleUserLog instance;
  return &instance;
}

int CSingleUserLog::Record(UserLogItem item) {
  if (IsAutoRun()) return -99;
  std::lock_guard<std::mutex> lock(mutex_);
  recorded_.push_back(std::move(item));
  return 0;
}

int CSingleUserLog::AddUserLog(const std::string& category, const std::string& action,
                               const std::string& label, bool /*wait*/) {
  return Record({category, action, label, "", 0});
}

int CSingleUserLog::AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName,
                                      int funcStep, const std::string& category,
                                      const std::string& action, const std::string& label,
                                      bool /*wait*/) {
  return Record({category, action, label,
                 eventType + "/" + coreFuncName + "/" + std::to_string(funcStep), 0});
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::map<std::string, std::string>& fields,
                                        bool /*wait*/) {
  std::string body;
  for (const auto& [key, value] : fields) {
    if (!key.empty()) body += key + "=" + value + ";";
  }
  return Record({category, action, "", body, 0});
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::string& key, const std::string& value,
                                        bool wait) {
  return AddUserLog_funnelEx(category, action, std::map<std::string, std::string>{{key, value}}, wait);
}

void CSingleUserLog::SetBaseInfo(int siteId, const std::string& productName,
                                 const std::string& downloadUrl, bool kitFlag, int mainPid) {
  std::lock_guard<std::mutex> lock(mutex_);
  siteId_ = siteId;
  productName_ = productName;
  downloadUrl_ = downloadUrl;
  kitFlag_ = kitFlag;
  mainPid_ = mainPid;
}

int CSingleUserLog::InitLogPath(const std::string& stem) {
  const std::string stamp = LocalStamp17();
  const std::string logDir = platform::StateHome() + "/RARivadurize/logs/" + stem;
  MakeFolder(logDir);
  // Downloads go to the cache home: the user's own, movable data lives there.
  const std::string workDir = platform::CacheHome() + "/RARivadurize/" + stem;
  MakeFolder(workDir);
  std::lock_guard<std::mutex> lock(mutex_);
  startStamp_ = stamp;
  logDir_ = logDir;
  logFilePath_ = logDir + "/" + stem + "_" + stamp + ".log";
  workDir_ = workDir;
  return 1;
}

std::string CSingleUserLog::GetLogFilePath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logFilePath_;
}
std::string CSingleUserLog::GetLogDir() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logDir_;
}
std::string CSingleUserLog::GetWorkDir() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return workDir_;
}
std::string CSingleUserLog::GetStartStamp() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return startStamp_;
}

void CSingleUserLog::CacheContentLength(const std::string& key, std::uint64_t length) {
  if (key.empty() || length == 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  contentLengthCache_[key] = length;
}

std::uint64_t CSingleUserLog::LookupContentLength(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = contentLengthCache_.find(key);
  return it == contentLengthCache_.end() ? 0 : it->second;
}

bool CSingleUserLog::WaitThreadForExit() {
  QMLOG("CSingleUserLog WaitThreadForExit");
  return true;
}

int CSingleUserLog::GetSiteId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return siteId_;
}
std::string CSingleUserLog::GetProductName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return productName_;
}
std::string CSingleUserLog::GetDownloadUrl() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return downloadUrl_;
}
bool CSingleUserLog::GetKitFlag() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kitFlag_;
}
int CSingleUserLog::GetMainPid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mainPid_;
}

std::vector<UserLogItem> CSingleUserLog::TakeRecordedEvents() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<UserLogItem> out;
  out.swap(recorded_);
  return out;
}
