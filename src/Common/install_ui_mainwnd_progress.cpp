// Progress display, timers and the messages of the worker threads.
#include <QThread>
#include <cerrno>
#include <cstdio>

#include "Common/CAlientWnd.h"
#include "Common/LauncherEntry.h"
#include "Common/MessageBoxWnd.h"
#include "Common/install_ui_mainwnd.h"
#include "CdnFailureCounter.h"
#include "ConfigurationService.h"
#include "EnumErrorCode.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "UrlRules.h"
#include "ui/ControlOps.h"

namespace {

constexpr int kDownloadBand = 85;
constexpr int kVerifyBandEnd = 90;

}  // namespace

void InstallUIMainWnd::PostWorkerMessage(int message, std::intptr_t wParam) { PostMessage(this, message, wParam); }

void InstallUIMainWnd::SetProgress(int percent) {
  if (QThread::currentThread() != thread()) {
    PostMessage(this, kMsgSetProgress, percent);
    return;
  }
  if (shownProgress_ >= percent) return;
  ApplyProgress(percent);
}

void InstallUIMainWnd::ApplyProgress(int percent) {
  shownProgress_ = percent;
  AnnounceProgress(percent);
  ui::SetText(progressLabel_, FormatWithDouble(formats_.progress, static_cast<double>(percent)));
  ui::SetValue(progressBar_, percent);
  SetTaskbarProgress(percent);
  emit progressChanged(percent);
}

void InstallUIMainWnd::OnDownloadProgress(std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  std::int64_t expected = 0;
  if (packageSize_.compare_exchange_strong(expected, total)) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2fMB", static_cast<double>(total) / 1048576.0);
    UserLog().AddUserLog("Other", "PackageSize", text, false);
  }
  std::int64_t percent = done * kDownloadBand / total;
  if (percent < 0) percent = 0;
  SetProgress(static_cast<int>(percent));
}

long InstallUIMainWnd::HandleCustomMessage(int msg, std::intptr_t wParam, std::intptr_t, bool& handled) {
  handled = true;
  if (closing_) return 0;  // the window has closed: the worker only winds down
  if (msg >= kMsgDownloadFailed && msg <= kMsgSignatureFailed) RefreshProductVersion();
  switch (msg) {
    case kMsgClearCachedDownload: ClearAPPData(); break;
    case kMsgDownloadFailed: OnDownloadFailed(wParam); break;
    case kMsgNotInstaller: OnNotInstaller(); break;
    case kMsgVerifyStart:
      SetProgress(kDownloadBand);
      SetTimer(kTimerVerifyCreep, options_.timings.verifyCreepMs);
      break;
    case kMsgInstallStarted:
      KillTimer(kTimerVerifyCreep);
      SetProgress(kVerifyBandEnd);
      SetTimer(kTimerInstallCreep, options_.timings.installCreepMs);
      break;
    case kMsgInstallTimeout: OnInstallTimeout(); break;
    case kMsgInstalled: OnInstalled(); break;
    case kMsgSignatureFailed: OnSignatureFailed(); break;
    case kMsgSetProgress: SetProgress(static_cast<int>(wParam)); break;
    case CBannerThread::kMsgBannerReady: OnBannersReady(); break;
    case kMsgWorkerOpenUrl: RunQueuedUrls(); break;
    case kMsgWorkerStartApp: OnStartAppClick(); break;
    case kMsgWorkerStartFailed:
      ShowStartFailureBox(this, currentLanguage_);
      hide();
      Close();
      break;
    case kMsgWorkerClose:
      hide();
      Close();
      break;
    default: handled = false; break;
  }
  return 0;
}

// The funnel documents name the version of the record, which the service's
// reply may have changed; a query still under way holds the lock.
void InstallUIMainWnd::RefreshProductVersion() {
  std::unique_lock<std::mutex> exchange(ConfigExchangeLock(), std::try_to_lock);
  if (!exchange.owns_lock()) return;
  std::lock_guard<std::mutex> lock(sharedMutex_);
  productVersion_ = config_.Software_version;
}

// Leaving the running page: the carousel stops, the setting
// page comes back with its finished page, and a close no longer asks.
void InstallUIMainWnd::LeaveRunning() {
  if (carousel_) carousel_->Stop();
  KillTimer(kTimerFirstProgress);
  KillTimer(kTimerVerifyCreep);
  ui::SetEnabled(closeBtn_, true);
  ui::SelectItem(mainTab_, 0);
  closeMsgType_ = kMsgPlain;
  FocusDefaultButton();
}

void InstallUIMainWnd::OnDownloadFailed(std::intptr_t wParam) {
  SetTaskbarError();
  int type = kMsgUrlFail;
  if (wParam == NetworkDown) type = kMsgInternetFail;
  else if (wParam == NoProgress) type = kMsgInternetTimeout;
  else if (wParam == CdnFailed) {
    AddRequestTooMuchTimes(config_.Software_name);
    type = kMsgInternetTimeout;
  }
  ShowMessageBox(type);
  ui::SetEnabled(closeBtn_, true);
  UserLog().AddUserLog("Download", "8.DownFail", AttemptLabel(), false);
  ShowFailureNotice();
  LeaveRunning();
}

void InstallUIMainWnd::OnInstallTimeout() {
  ShowFailureNotice();
  SetTaskbarError();
  ShowMessageBox(kMsgInstallRunTimeout);
  LeaveRunning();
}

void InstallUIMainWnd::OnSignatureFailed() {
  SetTaskbarError();
  ShowMessageBox(kMsgMd5Fail);
  ui::SetEnabled(closeBtn_, true);
  ShowFailureNotice();
  LeaveRunning();
}

void InstallUIMainWnd::OnNotInstaller() {
  SetProgress(100);
  WriteProductLanguage();
  LeaveRunning();
  ui::SetVisible(startApp_, true);
}

// Every downloaded banner is in the image cache: the carousel shows them,
// each position falling back to its built-in picture.
void InstallUIMainWnd::OnBannersReady() {
  bannerReady_ = true;
  if (!carousel_) return;
  carousel_->UseDownloadedPictures(QString::fromStdString(UserLog().GetWorkDir() + "/"),
                                   QString::fromStdString(banners_->FirstBannerExtension()));
}

void InstallUIMainWnd::OnInstalled() {
  KillTimer(kTimerInstallCreep);
  KillTimer(kTimerLastProgress);
  WriteProductLanguage();
  LeaveRunning();
  ui::SetVisible(startApp_, true);
  ui::SetVisible(startShortcut_, false);
  SetTaskbarProgress(100);  // the bar may end the animation below 100; the entry shows the end
  SetTaskbarProgress(-1);
}

void InstallUIMainWnd::OnTimer(int id) {
  switch (id) {
    case kTimerFirstProgress:
      KillTimer(kTimerFirstProgress);
      SetProgress(1);
      break;
    case kTimerVerifyCreep:
      if (stopProgressCreep_ == 1 || shownProgress_ + 1 > kVerifyBandEnd) KillTimer(kTimerVerifyCreep);
      else SetProgress(shownProgress_ + 1);
      break;
    case kTimerInstallCreep: OnInstallCreep(); break;
    case kTimerLastProgress: OnLastProgress(); break;
    case kTimerCarousel:
      if (carousel_) carousel_->OnTimer();
      break;
    case kTimerAutoRunStart:
      KillTimer(kTimerAutoRunStart);
      OnInstallClick();
      break;
    case kTimerAutoRunRetry:
      KillTimer(kTimerAutoRunRetry);
      OnStartAppClick();
      break;
    default: break;
  }
}

void InstallUIMainWnd::OnInstallCreep() {
  const int next = shownProgress_ + 1;
  const bool finished = installFinished_;
  QMLOG(" TIMER_INSTALLPROGRESS_ID: " << finished << ", " << next);
  if (!finished && next < 100) {
    SetProgress(next);
    return;
  }
  KillTimer(kTimerInstallCreep);
  if (!finished) return;
  if (next > 98) handshake_.progressFinished.Set();
  else SetTimer(kTimerLastProgress, options_.timings.lastProgressMs);
}

void InstallUIMainWnd::OnLastProgress() {
  const int next = shownProgress_ + 1;
  QMLOG(" TIMER_ATLASTPROGRESS_ID: " << installFinished_.load() << ", " << next);
  if (next <= 100) SetProgress(next);
  if (shownProgress_ >= 100) {
    KillTimer(kTimerLastProgress);
    handshake_.progressFinished.Set();
  }
}

int InstallUIMainWnd::ShowMessageBox(int type) {
  QMLOG(" ShowMsgBox: " << type);
  MessageBoxWnd box(type, currentLanguage_);
  return box.ShowModal(this);
}

void InstallUIMainWnd::ClearAPPData() {
  std::string extraUrl;
  items_.GetItemText("Extra_download_url", extraUrl);
  const std::string path = downloadFolder_ + "/" + InstallerFileNameFor(extraUrl, config_.Software_version);
  const int removed = std::remove(path.c_str());
  const int error = removed == 0 ? 0 : errno;
  std::remove((path + ".xml").c_str());
  std::remove((path + ".db").c_str());
  QMLOG(" Clear cache: " << (removed == 0 ? 1 : 0) << ", " << error);
}

// The desktop's launcher progress is a stand-in: nothing listens yet.
void InstallUIMainWnd::SetTaskbarProgress(int percent) {
  if (!launcher_) launcher_ = std::make_unique<LauncherEntry>(QStringLiteral("application://qm_downloader.desktop"));
  launcher_->SetProgress(percent);
}

void InstallUIMainWnd::SetTaskbarError() {
  if (!launcher_) launcher_ = std::make_unique<LauncherEntry>(QStringLiteral("application://qm_downloader.desktop"));
  launcher_->SetError();
}
