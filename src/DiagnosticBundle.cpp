#include "DiagnosticBundle.h"

#include <spawn.h>

#include <filesystem>
#include <system_error>

#include "CLibcurlTool.h"
#include "FuntionImpl.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "platform/Paths.h"
#include "platform/SafeNames.h"
#include "platform/ZipArchiveWriter.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kBundleProductId = "QMDownload2900";
constexpr const char* kCopySuffix = "_copy.log";

bool IsPlainFileName(const std::string& name) {
  return name.find('/') == std::string::npos && name != "." && name != "..";
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

std::string BundleArchivePath(const std::string& logFolder, const std::string& stamp17) {
  return logFolder + stamp17 + ".zip";
}

std::string BundleUploadName(const std::string& logFileName, const std::string& stamp17) {
  const std::size_t last = logFileName.rfind('_');
  if (last == std::string::npos) return {};
  return logFileName.substr(0, last) + "_" + stamp17 + ".zip";
}

std::vector<std::pair<std::string, std::string>> BundleEntries(const std::string& logFolder,
                                                               const std::string& logFileName,
                                                               const std::string& extraPath, bool includeDumps) {
  const std::string logFile = logFolder + logFileName;
  std::vector<std::pair<std::string, std::string>> entries{{logFileName, logFile + kCopySuffix}};
  if (includeDumps) {
    if (IsRegularFile(logFile + ".dmp")) {
      entries.emplace_back(logFileName + ".dmp", logFile + ".dmp");
    } else {
      std::error_code error;
      for (const auto& item : fs::directory_iterator(logFolder, error)) {
        if (item.path().extension() == ".dmp" && IsRegularFile(item.path().string())) {
          entries.emplace_back(item.path().filename().string(), item.path().string());
        }
      }
    }
  }
  if (!extraPath.empty() && fs::exists(extraPath)) {
    entries.emplace_back(fs::path(extraPath).filename().string(), extraPath);
  }
  return entries;
}

int UploadDiagnosticBundle(const std::string& logFileName, const std::string& reason,
                           const std::string& extraPath, bool includeDumps) {
  const std::string logDir = CSingleUserLog::GetInstance()->GetLogDir();
  if (logDir.empty() || !IsPlainFileName(logFileName)) {
    QMLOG(" Bundle refused: " << logFileName);
    return -1;
  }
  const std::string folder = logDir + "/";
  const std::string logFile = folder + logFileName;
  std::error_code error;
  fs::copy_file(logFile, logFile + kCopySuffix, fs::copy_options::overwrite_existing, error);

  const std::string stamp = LocalTimeStamp17();
  const std::string archive = BundleArchivePath(folder, stamp);
  platform::ZipArchiveWriter zip;
  if (!zip.Create(archive)) {
    QMLOG(" Create zip failed: " << archive);
    return -1;
  }
  for (const auto& [entry, path] : BundleEntries(folder, logFileName, extraPath, includeDumps)) {
    zip.AddFile(entry, path);
  }
  zip.Close();
  if (!IsRegularFile(archive)) return 0;

  const int uploaded = UploadLogFile(archive, BundleUploadName(logFileName, stamp), kBundleProductId,
                                     GetFileVersionString(platform::ExecutablePath()),
                                     reason.empty() ? "default" : reason);
  QMLOG(" Upload diagnostic bundle: " << uploaded << ", " << archive);
  if (uploaded == 0) {
    fs::remove(archive, error);
    fs::remove(logFile + kCopySuffix, error);
  }
  return 0;
}

bool StartCloseBundleUpload(const std::string& closeLabel) {
  if (CSingleUserLog::GetInstance()->downloaderConfig.load() != 2) return false;
  const std::string executable = platform::ExecutablePath();
  const std::string label = "-" + closeLabel;
  const std::string logName = fs::path(CSingleUserLog::GetInstance()->GetLogFilePath()).filename().string();
  char* const argv[] = {const_cast<char*>(executable.c_str()), const_cast<char*>(label.c_str()),
                        const_cast<char*>(logName.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  platform::CloseAboveStderrAtSpawn(&actions);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  QMLOG(" Start close upload: " << closeLabel << ", " << (started == 0 ? pid : -started));
  return started == 0;
}
