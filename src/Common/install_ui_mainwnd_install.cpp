// The install flow of the main window: the install click, the start of a
// worker, the product start, the failure notice and the retry.
#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>
#include <csignal>
#include <filesystem>

#include "Common/CAlientWnd.h"
#include "Common/CrashTestFault.h"
#include "Common/MessageBoxWnd.h"
#include "Common/install_ui_mainwnd.h"
#include "ConfigurationService.h"
#include "FuntionImpl.h"
#include "Language.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "UrlRules.h"
#include "platform/Paths.h"
#include "platform/SafeNames.h"
#include "ui/ControlOps.h"

namespace {

constexpr const char* kFailureText = "Install failed, please install again!";

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

const std::string& InstallUIMainWnd::AttemptLabel() const {
  static const std::string retry = "Retry", first = "First";
  return isRetry_ ? retry : first;
}

void InstallUIMainWnd::OnInstallClick() {
  QMLOG(" Click install button");
  if (IsCrashTest()) RaiseCrashTestFault();
  CSingleUserLog& log = UserLog();
  log.AddUserLog("Download", "2.DownStart", "", false);
  log.AddUserLog_funnel("CoreFuncEvent", "Downloading", 0, "Download", "CoreFuncStart", "null", false);
  log.AddUserLog_funnel("CoreFuncEvent", "Downloading", 1, "Download", "DownStart", "null", false);
  if (!AcceptLicenceIfNeeded()) return;
  SendStartTimeOnce();
  log.AddUserLog("Other", "SetLanguage", LanguageTelemetryName(currentLanguage_), false);
  if (ui::GetText(pathEdit_).toStdString() != defaultInstallPath_) log.AddUserLog("Other", "SetPath", "", false);
  BeginInstallTask();
}

bool InstallUIMainWnd::AcceptLicenceIfNeeded() {
  if (licenseCheck_ == nullptr || ui::IsSelected(licenseCheck_)) return true;
  const bool agreed = ShowMessageBox(kMsgAgreeLicense) == 1;
  UserLog().AddUserLog_funnelEx("StartDownloader", "PrivacyAgreementPopup", "PrivacyAgreementPopupType",
                                agreed ? "Agree and install" : "Disagree", false);
  if (!agreed) {
    QMLOG("not agree Privacy Policy and User License Agreement");
    return false;
  }
  ui::SetSelected(licenseCheck_, true);
  return true;
}

void InstallUIMainWnd::SendStartTimeOnce() {
  if (startTimeSent_) return;
  startTimeSent_ = true;
  const std::string now = GetChinaStandardTime();
  UserLog().AddUserLog("Download", "StartTimeDate", now.substr(0, 10), false);
  UserLog().AddUserLog("Download", "StartTimeHour", now.size() > 12 ? now.substr(11, 2) : "", false);
}

int InstallUIMainWnd::BeginInstallTask() {
  if (!AppIsRunning()) {
    UserLog().AddUserLog("Other", "FlowError", "DL024", false);
    QMLOG("app is running");
    return -1;
  }
  if (!CheckInstallEnvironment()) return -1;
  FuntionImpl::StopProductService();
  ResizeClient(650, 360);
  CenterWindow();
  progressAnnounce_.Reset();
  AnnounceProgress(0);
  ui::SetText(progressLabel_, FormatWithDouble(formats_.progress, 0.0));
  FocusDefaultButton();  // the running page's
  for (QWidget* notice : {failRetry_, failAdvice_, imgWarning_}) ui::SetVisible(notice, false);
  ui::SetText(startApp_, QString::fromStdString(GetLanguageText("install_page", "start_app", currentLanguage_)));
  ui::SetBkImage(background_, "skin/backgroud_complete.png");
  carousel_->Start(carouselFrameCount_, currentLanguage_, config_.Software_id, carouselInterval_);
  // A retry fetches no banners again, but shows the ones an earlier start
  // brought: the new carousel begins with the built-in pictures.
  if (bannerReady_) {
    OnBannersReady();
  } else {
    banners_->Start(mainPid_, currentLanguage_);
  }
  closeMsgType_ = kMsgCancelInstall;
  SetTimer(kTimerFirstProgress, options_.timings.firstProgressMs);
  StartWorker();
  return 0;
}

void InstallUIMainWnd::StartWorker() {
  installFinished_ = false;
  stopProgressCreep_ = 0;
  handshake_.progressFinished.Reset();
  packageSize_ = 0;
  {
    std::lock_guard<std::mutex> lock(sharedMutex_);
    request_.retry = isRetry_;
    request_.downloaderId = downloaderId_;
    request_.needStartFlag = needStartFlag_;
    request_.installPath = GetInstallPath();
    request_.installerLanguageCode = InstallerLanguageCode();
    request_.productUrlLabel = ProductUrlLabel();
    request_.items = &items_;
    request_.userLog = &UserLog();
  }
  // The worker gets its own copy: a retry's next request never changes the
  // one an earlier worker still winding down reads.
  workers_.emplace_back([this, request = request_] { InstallThreadFunc(request, handshake_, *this, options_.worker); });
}

void InstallUIMainWnd::OnStartAppClick() {
  if (FailureNoticeShown()) {
    RetryInstall();
    return;
  }
  if (!IsExeUrl(config_.Extra_download_url)) {
    ShowPackageInFolder();
    return;
  }
  const bool direct = waitAnimationSeconds_ == 0 || WillShowNetFrameCheck(GetInstallPath());
  if (!direct) {
    hide();  // the waiting window takes its place
    StartBehindWaitingWindow();
  } else if (LaunchProduct() == -1) {
    ShowStartFailureBox(this, currentLanguage_);
  }
  hide();
  Close();
}

// The worker's click after a finished installation. The window's thread
// starts the product, so the waiting window shows as it does for the user's
// click; an unattended run, whose message loop may already be ending, starts
// it on the worker's thread.
void InstallUIMainWnd::ClickStartApp() {
  if (!IsAutoRun() || !IsExeUrl(config_.Extra_download_url)) {
    PostMessage(this, kMsgWorkerStartApp);
    return;
  }
  const int started = LaunchProduct();
  PostMessage(this, started == -1 ? kMsgWorkerStartFailed : kMsgWorkerClose);
}

// The product started behind the waiting window, which reports a failed
// start (DL019) and tells the user itself. Window thread only.
void InstallUIMainWnd::StartBehindWaitingWindow() {
  const int seconds = SendProductStartEvents();
  std::string version;
  {
    std::lock_guard<std::mutex> lock(sharedMutex_);
    version = productVersion_;
  }
  CAlientWnd wait(adminFlag_, ProductExePath(), config_.Software_name, version, seconds, currentLanguage_);
  wait.ShowModal(this);
}

// The product started at once. Thread-safe.
int InstallUIMainWnd::LaunchProduct() {
  SendProductStartEvents();
  const int started = FuntionImpl::StartTargetMainExe(ProductExePath(), adminFlag_);
  if (started == -1) UserLog().AddUserLog("Other", "FlowError", "DL019", false);
  return started;
}

// The events of a product start; returns the waiting window's seconds (0:
// none). Thread-safe.
int InstallUIMainWnd::SendProductStartEvents() {
  if (WillShowNetFrameCheck(GetInstallPath())) waitAnimationSeconds_ = 0;
  const int seconds = waitAnimationSeconds_;
  UserLog().AddUserLog("Download", "7.ProgramLaunch", "", seconds == 0);
  UserLog().AddUserLog_funnel("CoreFuncEvent", "Starting", 0, "Download", "CoreFuncStart", "null", false);
  UserLog().AddUserLog_funnel("CoreFuncEvent", "Starting", 1, "Download", "ProgramLaunch", "null", false);
  launchAttempted_ = true;
  UserLog().AddUserLog("Download", "9.StartWindow", std::to_string(seconds), seconds == 0);
  UserLog().AddUserLog_funnel("CoreFuncEvent", "Starting", 2, "Download", "StartWindow", "null", false);
  UserLog().AddUserLog_funnel("CoreFuncEvent", "Starting", 0, "Download", "CoreFuncEnd", "null", false);
  return seconds;
}

void InstallUIMainWnd::RetryInstall() {
  QMLOG(" User click try again button to retry");
  UserLog().AddUserLog("Download", "8-1.ClickTryAgain", AttemptLabel(), false);
  UserLog().AddUserLog_funnel("CoreFuncEvent", "Downloading", 0, "Download", "CoreFuncStart", "null", false);
  isRetry_ = true;
  ApplyProgress(0);
  BeginInstallTask();
}

std::string InstallUIMainWnd::ProductExePath() const {
  if (config_.status != CConfigure::kReady) return {};
  const std::string folder = Trimmed(GetInstallPath());
  std::string path = folder + "/" + config_.Process_name;
  // The name comes from the configuration reply: only a bare file name, and
  // only something that really lies inside the install folder, is started.
  if (!platform::IsPlainFileName(config_.Process_name)) return {};
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    const std::string found = FindFileInSubfolders(folder + "/", config_.Process_name);
    if (!found.empty()) path = found;
  }
  if (!platform::RealPathInside(path, folder)) return {};
  return "\"" + path + "\"";
}

void InstallUIMainWnd::ShowFailureNotice() {
  if (finishLabel_ != nullptr) ui::SetText(finishLabel_, kFailureText);
  for (QWidget* notice : {failRetry_, failAdvice_, imgWarning_}) ui::SetVisible(notice, true);
  ui::SetEnabled(startApp_, true);
  ui::SetText(startApp_, QString::fromStdString(GetLanguageText("install_page", "retry_btn", currentLanguage_)));
  ui::SetVisible(startApp_, true);
  ui::SetVisible(startShortcut_, false);
  if (IsAutoRun()) SetTimer(kTimerAutoRunRetry, options_.timings.autoRunRetryMs);
}

bool InstallUIMainWnd::FailureNoticeShown() const {
  return ui::IsVisible(failRetry_) && ui::IsVisible(failAdvice_) && ui::IsVisible(imgWarning_);
}

std::string InstallUIMainWnd::AdviceLinkUrl() {
  std::string url = AdviceUrl();
  if (url.empty()) {
    const int type = config_.Downloader_type;
    for (const std::string& candidate : config_.candidateUrls) {
      if (((type == 1 || type == 3) && !IsCdnUrl(candidate)) || (type == 2 && IsCdnUrl(candidate))) {
        url = candidate;
        break;
      }
    }
  }
  if (url.empty()) return url;
  const std::string self = platform::ExecutablePath();
  const std::string fileName = self.substr(self.rfind('/') + 1);
  const auto underscore = fileName.rfind('_'), dot = fileName.rfind('.');
  if (underscore != std::string::npos) {
    const std::string channel =
        fileName.substr(underscore + 1, dot == std::string::npos || dot < underscore ? std::string::npos : dot - underscore - 1);
    url += "?rnclid=" + channel + "&package=" + fileName;
  }
  return url;
}

void InstallUIMainWnd::OpenAdviceLink() {
  UserLog().AddUserLog("Download", "8-2.ClickInstallLink", AttemptLabel(), false);
  const std::string url = AdviceLinkUrl();
  if (url.empty()) return;
  QMLOG(" Open Advice Url: " << url);
  // The address comes from a server: never a file, a program or a handler.
  if (!IsWebUrl(url)) return;
  if (options_.openUrl) options_.openUrl(url);
  else QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void InstallUIMainWnd::ShowPackageInFolder() {
  std::string extraUrl;
  items_.GetItemText("Extra_download_url", extraUrl);
  const std::string path = downloadFolder_ + "/" + InstallerFileNameFor(extraUrl, config_.Software_version);
  QMLOG(" Show package: " << path);
  if (options_.showInFolder) options_.showInFolder(path);
  else QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(downloadFolder_)));
}

void InstallUIMainWnd::CloseWindow() { PostMessage(this, kMsgWorkerClose); }

void InstallUIMainWnd::OpenUrl(const std::string& url) {
  {
    std::lock_guard<std::mutex> lock(sharedMutex_);
    queuedUrls_.push_back(url);
  }
  PostMessage(this, kMsgWorkerOpenUrl);
}

void InstallUIMainWnd::RunQueuedUrls() {
  std::vector<std::string> urls;
  {
    std::lock_guard<std::mutex> lock(sharedMutex_);
    urls.swap(queuedUrls_);
  }
  for (const std::string& url : urls) {
    if (!IsWebUrl(url)) continue;
    if (options_.openUrl) options_.openUrl(url);
    else QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
  }
}

void InstallUIMainWnd::SetAdviceUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(sharedMutex_);
  adviceUrl_ = url;
}

std::string InstallUIMainWnd::AdviceUrl() const {
  std::lock_guard<std::mutex> lock(sharedMutex_);
  return adviceUrl_;
}

std::string InstallUIMainWnd::InstallerLanguageCode() const {
  return ::InstallerLanguageCode(currentLanguage_, downloaderId_);
}

std::string InstallUIMainWnd::ProductUrlLabel() const { return ProductPageKey(currentLanguage_); }

void InstallUIMainWnd::WriteProductLanguage() {
  RememberLanguageForProduct(downloaderId_, embeddedProductName_, currentLanguage_);
}
