// The pre-install checks and the install-folder controls of the main window.
#include <QFileDialog>
#include <QThread>

#include "Common/MessageBoxWnd.h"
#include "Common/install_ui_mainwnd.h"
#include "ConfigurationService.h"
#include "FuntionImpl.h"
#include "Language.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "ui/ControlOps.h"

namespace {

constexpr double kBytesPerGB = 1024.0 * 1024.0 * 1024.0;

// The record's readiness, size and product name as the window may read them:
// a query still running holds the exchange lock, and its record counts as
// not ready yet.
struct ConfigGlance {
  bool readyFromService = false;
  std::int64_t size = 0;
};

ConfigGlance Glance(const CConfigure& config) {
  std::unique_lock<std::mutex> lock(ConfigExchangeLock(), std::try_to_lock);
  if (!lock.owns_lock()) return {};
  return {config.status == CConfigure::kReady && config.source == CConfigure::kFromService, config.Filesize};
}

}  // namespace

bool InstallUIMainWnd::AppIsRunning() {
  std::string processName;
  items_.GetItemText("Process_name", processName);
  {
    std::unique_lock<std::mutex> lock(ConfigExchangeLock(), std::try_to_lock);
    if (lock.owns_lock() && !config_.Process_name.empty()) processName = config_.Process_name;
  }
  const auto processes = options_.facts.processes();
  if (processes.empty()) return false;  // the process list cannot be read
  const int pid = FindProcessByName(processes, processName);
  if (pid < 0) return true;
  QMLOG(" " << processName << "," << processName << "ID:" << pid);
  ShowMessageBox(kMsgAppExist);
  return false;
}

int InstallUIMainWnd::EnoughFreeSpace(bool, std::int64_t size, std::uint64_t& freeBytes) {
  const std::string installPath = GetInstallPath();
  const SpaceVerdict verdict = CheckFreeSpace(options_.facts, downloadFolder_, installPath, size);
  if (verdict.result == 1) return 1;
  freeBytes = verdict.free;
  if (verdict.result == -1) {
    QMLOG(" PC space not enough1: " << verdict.free << "<=" << size);
    UserLog().AddUserLog("Other", "FlowError", "DL008", false);
    UserLog().AddUserLog("Other", "NoEnoughSpace", "download_" + std::to_string(verdict.free), false);
  } else {
    QMLOG(" PC space not enough2: " << verdict.free << "<=" << verdict.needed);
  }
  return verdict.result;
}

bool InstallUIMainWnd::CheckInstallEnvironment() {
  const ConfigGlance config = Glance(config_);
  if (config.readyFromService) {
    std::uint64_t freeBytes = 0;
    int result = EnoughFreeSpace(false, config.size, freeBytes);
    if (result == -2) {
      std::string path = ui::GetText(pathEdit_).toStdString();
      MoveToBestDrive(path);
      ui::SetText(pathEdit_, QString::fromStdString(path));
      result = EnoughFreeSpace(false, config.size, freeBytes);
      if (result == -2) {
        UserLog().AddUserLog("Other", "FlowError", "DL008", false);
        UserLog().AddUserLog("Other", "NoEnoughSpace", "install_" + std::to_string(freeBytes), false);
      }
    }
    if (result != 1) {
      ShowMessageBox(kMsgNoEnoughSpace);
      return false;
    }
  }
  const std::string path = GetInstallPath();
  if (CreateDirectories(path) != 0) {
    UserLog().AddUserLog("Other", "FlowError", "DL009", false);
    ShowMessageBox(kMsgPathError);
    return false;
  }
  UserLog().AddUserLog_funnelEx("Download", "DownloadEnvReady", std::map<std::string, std::string>{}, false);
  if (IsPathPendingRename(path)) UserLog().AddUserLog("Other", "ProcessNeedRestartSign", "", false);
  ui::SelectItem(mainTab_, 1);
  ui::SelectItem(pageLayout_, 1);
  ui::SetEnabled(closeBtn_, true);
  return true;
}

// Linux keeps no list of renames waiting for a restart: nothing is pending.
bool InstallUIMainWnd::IsPathPendingRename(const std::string&) const { return false; }

std::string InstallUIMainWnd::GetInstallPath() const {
  if (QThread::currentThread() != thread()) {
    std::lock_guard<std::mutex> lock(sharedMutex_);
    return request_.installPath;
  }
  return NormaliseInstallPath(ui::GetText(pathEdit_).toStdString(), embeddedProductName_);
}

int InstallUIMainWnd::BrowseInstallFolder() {
  const std::string start = ui::GetText(pathEdit_).toStdString();
  std::optional<std::string> chosen;
  if (options_.chooseFolder) {
    chosen = options_.chooseFolder(this, start);
  } else {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), QString::fromStdString(start));
    if (!folder.isEmpty()) chosen = folder.toStdString();
  }
  if (!chosen) return -1;
  ShowDiskSpace(*chosen);
  ui::SetText(pathEdit_, QString::fromStdString(BrowsedInstallPath(*chosen)));
  return 0;
}

bool InstallUIMainWnd::ShowDiskSpace(const std::string& folder) {
  platform::FreeSpace space;
  const bool read = options_.facts.freeSpace(folder, space);
  if (read) {
    freeSpaceGB_ = static_cast<float>(static_cast<double>(space.total) / kBytesPerGB);
    ui::SetText(spaceFree_, FormatWithDouble(formats_.spaceFree, freeSpaceGB_));
  }
  std::string productSize;
  items_.GetItemText("ProductSize", productSize);
  ui::SetText(spaceNeed_, FormatWithString(formats_.spaceNeed, QString::fromStdString(productSize)));
  return read;
}

// No .NET Framework is ever installed on Linux: the installed version reads
// as 0.0.0.0, so any stated requirement asks for a newer one.
bool InstallUIMainWnd::WillShowNetFrameCheck(std::string folder) const {
  const std::string need = ReadNetFrameRequirement(folder);
  if (need.empty()) return false;
  const std::string local;
  QMLOG(" LocalNetFrame: " << local << ", NeedNetFrame: " << need);
  return NeedsNewerNetFrame(local, need);
}
