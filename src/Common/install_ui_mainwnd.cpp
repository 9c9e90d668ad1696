#include "Common/install_ui_mainwnd.h"

#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QLocalSocket>

#include "Common/LauncherEntry.h"
#include "Common/MessageBoxWnd.h"
#include "Common/ProcessGlobals.h"
#include "ConfigurationService.h"
#include "DiagnosticBundle.h"
#include "DownloadTimings.h"
#include "FuntionImpl.h"
#include "Language.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "platform/Paths.h"
#include "platform/ProxySettings.h"
#include "platform/WindowProbe.h"
#include "ui/ComboBox.h"
#include "ui/ControlOps.h"
#include "ui/ImageCache.h"

namespace {

constexpr int kPanelOpenHeight = 560;
constexpr int kPanelClosedHeight = 360;
constexpr int kLicencePage = 0;
constexpr int kSettingsPage = 1;
constexpr const char* kFirstRunKey = "SOFTWARE\\Quillmarch\\Downloader2.5.0";

int ItemInt(const std::map<std::string, std::string>& items, const char* name) {
  const auto it = items.find(name);
  return it == items.end() ? 0 : static_cast<int>(DecimalValue(it->second));
}

std::string ProgramFilesFolder() {
  return access("/opt", W_OK) == 0 ? "/opt" : platform::HomeDir() + "/.local/opt";
}

}  // namespace

bool InstallUIMainWnd::ItemSnapshot::GetItemText(const std::string& name, std::string& text) const {
  const auto it = items.find(name);
  if (it == items.end()) return false;
  text = it->second;
  return true;
}

InstallUIMainWnd::InstallUIMainWnd(MainWindowOptions options) : options_(std::move(options)) {}

InstallUIMainWnd::~InstallUIMainWnd() {
  UserLog().SetMainWindow(nullptr);
  WaitForAllThreadExit();
}

CSingleUserLog& InstallUIMainWnd::UserLog() const {
  return CSingleUserLog::GivenOrProcess(options_.userLog);
}

QString InstallUIMainWnd::GetWindowClassName() const {
  return QString::fromStdString(className_.empty() ? "QM_UI_Frame" : className_);
}

bool InstallUIMainWnd::Create(const std::string& className, const std::string& title, int width, int height) {
  className_ = className;
  if (!ui::WindowImplBase::Create(nullptr, QString::fromStdString(title), width, height)) return false;
  ListenForRaiseRequests();
  QMLOG(" Main window created: " << GetWindowClassName().toStdString());
  return true;
}

void InstallUIMainWnd::InitWindow() {
  UserLog().SetMainWindow(this);
  createdAtMs_ = TickCountMs();
  carouselFrameCount_ = CCarousel::CountBuiltInPictures();
  LookUpControls();
  SetDefaultButtons({"install_btn", "start_app"});
  SetEscapeButtons({"closebtn", "install_closebtn"});
  // Focus goes to the main button of the page shown: Setting, Finished, Running.
  SetFocusButtons({"install_btn", "start_app", "install_minbtn"});
  carousel_ = std::make_unique<CCarousel>(this);
  banners_ = std::make_unique<CBannerThread>(this);
  for (QWidget* notice : {failRetry_, failAdvice_, imgWarning_}) ui::SetVisible(notice, false);
  SetAdviceUrl("");
  ReadEmbeddedItems();
  if (licenseCheck_ != nullptr) ui::SetSelected(licenseCheck_, IsAutoRun() || chooseLicense_ == 1);
  config_ = CConfigure(downloaderId_, languageId_, siteId_);
  config_.loadFromLayout(items_, false);
  {
    std::lock_guard<std::mutex> lock(sharedMutex_);
    productVersion_ = config_.Software_version;
  }
  startTimestamp_ = UserLog().GetStartStamp();
  downloadFolder_ = UserLog().GetWorkDir();
  const std::string programFiles = options_.programFilesFolder.empty() ? ProgramFilesFolder() : options_.programFilesFolder;
  defaultInstallPath_ = programFiles + "/" + kBrandFolder;
  ui::SetText(pathEdit_, QString::fromStdString(defaultInstallPath_));
  configThread_ = platform::BoundedThread([this] { AsyncGetCbsInfo(config_, handshake_.asyncQueryAbandoned); });
  handshake_.progressFinished.Reset();
  QMLOG(" CreateEvent successfully ");
  carouselInterval_ = CCarousel::kDefaultIntervalMs;
  LogStartupFacts();
  SendLaunchEvents();
  // The program's icon: the skin's logo stands in for the executable's icon resource.
  setWindowIcon(QIcon(QPixmap::fromImage(ui::ImageCache::Instance().Get("skin/logo.png"))));
  StartLanguage();
  UserLog().AddUserLog("Other", "ClickToShowTime", std::to_string(TickCountMs() - createdAtMs_), false);
  SetTaskbarProgress(0);
  if (IsAutoRun()) SetTimer(kTimerAutoRunStart, options_.timings.autoRunStartMs);
}

void InstallUIMainWnd::LookUpControls() {
  const auto find = [this](const char* name) { return FindControl(name); };
  closeBtn_ = find("closebtn");
  minBtn_ = find("minbtn");
  mainTab_ = find("main_tablayout");
  pageLayout_ = find("page_layout");
  setLayout_ = find("set_layout");
  pathEdit_ = find("install_file_path_edit");
  progressBar_ = find("install_progress");
  progressLabel_ = find("install_label");
  spaceNeed_ = find("space_need");
  spaceFree_ = find("space_free");
  installSetting_ = find("install_setting");
  licenseLink_ = find("license_link");
  licenseCheck_ = find("license_checkbox");
  agreeImprovement_ = find("agree_improvement_checkbox");
  installBtn_ = find("install_btn");
  licenseEnglish_ = find("license_english");
  licenseJapanese_ = find("license_japanese");
  licenseText_ = find("license_text");
  licenseTextLayout_ = find("license_text_layout");
  languageCombo_ = find("language_combox");
  selectLanguageText_ = find("select_language_text");
  installPathText_ = find("install_path_text");
  browserBtn_ = find("browser_btn");
  imagePlay_ = find("image_play");
  background_ = find("backgroudlayout");
  failRetry_ = find("text_fail_retry");
  failAdvice_ = find("text_fail_advice");
  imgWarning_ = find("img_warning");
  startApp_ = find("start_app");
  startShortcut_ = find("text_startshortcut");
  installMinBtn_ = find("install_minbtn");
  installCloseBtn_ = find("install_closebtn");
  finishLabel_ = find("finish_label");
}

// The invisible labels of the embedded configuration, copied once so that
// the worker threads read them without touching a control.
void InstallUIMainWnd::ReadEmbeddedItems() {
  if (QWidget* holder = FindControl("Product_config")) {
    for (QWidget* label : holder->findChildren<QWidget*>()) {
      if (!label->objectName().isEmpty()) items_.items[label->objectName().toStdString()] = ui::GetText(label).toStdString();
    }
  }
  for (const auto& [name, value] : options_.itemOverrides) items_.items[name] = value;
  downloaderId_ = ItemInt(items_.items, "Downloader_id");
  siteId_ = ItemInt(items_.items, "Site_id");
  languageId_ = ItemInt(items_.items, "Language_id");
  waitAnimationSeconds_ = ItemInt(items_.items, "Gif_duration");
  needStartFlag_ = ItemInt(items_.items, "NeedStart_flag");
  chooseLicense_ = ItemInt(items_.items, "ChooseLicense");
  adminFlag_ = ItemInt(items_.items, "admin_flag");
  items_.GetItemText("Software_name", embeddedProductName_);
  if (items_.items.count("MainPid") != 0) mainPid_ = ItemInt(items_.items, "MainPid");
}

namespace {

// The primary screen as the window found it at start-up: its size in device
// pixels and its scale. Read here on the window's thread; the telemetry
// threads only read the copy.
void RememberPrimaryScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const double scale = screen->devicePixelRatio();
  const int width = static_cast<int>(screen->geometry().width() * scale + 0.5);
  const int height = static_cast<int>(screen->geometry().height() * scale + 0.5);
  SetScreenInfoProvider([width, height, scale](int& w, int& h, double& s) {
    w = width, h = height, s = scale;
    return true;
  });
}

}  // namespace

void InstallUIMainWnd::LogStartupFacts() {
  RememberPrimaryScreen();
  const VersionStrings version = GetVersionStrings(platform::ExecutablePath());
  QMLOG(" Downloader info: " << version.productVersion << "(" << version.productName
                             << "), 64Bit: " << (IsSystem64Bit() ? "True" : "False") << ", proc_id=" << getpid());
  int width = 0, height = 0;
  const double scale = GetScreenResolution(width, height);
  QMLOG(" Screen: " << width << "*" << height << ", " << scale);
  GetSystemRegion();
  QMLOG(" Request For Product Config -- [Downloader Id]: " << downloaderId_ << " [Site Id]: " << siteId_
                                                           << " [Language Id]: " << languageId_);
  GetIEProxyConfig();
}

void InstallUIMainWnd::SendLaunchEvents() {
  CSingleUserLog& log = UserLog();
  log.AddUserLog("CrashRate", "Start", "", false);
  log.AddUserLog_funnel("Keypoint", "null", 0, "CorePublicModule", "Start", "null", false);
  ReportFirstRunOnThisComputer();
  log.AddUserLog("Download", "1.Launch", "", false);
  log.AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 0, "Download", "CoreFuncStart", "null", false);
  log.AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 1, "Download", "Launch", "null", false);
  log.AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 0, "Download", "CoreFuncEnd", "null", false);
}

void InstallUIMainWnd::ReportFirstRunOnThisComputer() {
  if (!RegGetString(kFirstRunKey, "GA_PC").empty()) return;
  float version = 0;
  UserLog().AddUserLog("PC", "SysOS", GetOSName(version) + (IsSystem64Bit() ? " 64bit" : " 32bit"), false);
  UserLog().AddUserLog("PC", "SysLanguage", GetUILanguageName(), false);
  int width = 0, height = 0;
  GetScreenResolution(width, height);
  UserLog().AddUserLog("PC", "SysScreenResolution", std::to_string(width) + "*" + std::to_string(height), false);
  RegSetString(kFirstRunKey, "GA_PC", "1");
}

void InstallUIMainWnd::StartLanguage() {
  currentLanguage_ = GetLanguageByLocalSystem();
  auto* combo = qobject_cast<ui::ComboBox*>(languageCombo_);
  int item = 0;
  if (combo != nullptr) {
    if (combo->IsItemVisible(currentLanguage_)) {
      item = currentLanguage_;
    } else if (!combo->IsItemVisible(0)) {
      for (int i = 0; i < combo->count(); ++i) {
        if (combo->IsItemVisible(i)) {
          item = i;
          break;
        }
      }
    }
    combo->SelectItem(item);
  }
  currentLanguage_ = item;
  ApplyLanguage();
  ResizeClient(width(), kPanelClosedHeight);
}

void InstallUIMainWnd::ApplyLanguage() {
  std::string productSize;
  items_.GetItemText("ProductSize", productSize);
  formats_ = ApplyLanguageTexts(this, currentLanguage_, siteId_, freeSpaceGB_, QString::fromStdString(productSize));
  NameControlsForScreenReaders();
}

void InstallUIMainWnd::ListenForRaiseRequests() {
  const QString path = QString::fromStdString(platform::WindowSocketPath(GetWindowClassName().toStdString()));
  QLocalServer::removeServer(path);  // a socket file left by an instance that died
  if (!raiseServer_.listen(path)) return;
  connect(&raiseServer_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = raiseServer_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      QMLOG(" Another instance asked for the window");
      showNormal();
      raise();
      activateWindow();
    }
  });
}

void InstallUIMainWnd::Notify(const ui::TNotifyUI& msg) {
  if (msg.sType == "link") {
    if (msg.pSender == licenseLink_) TogglePanel(kLicencePage);
    else if (msg.pSender == failAdvice_) OpenAdviceLink();
  }
  ui::WindowImplBase::Notify(msg);
}

// The panel below the header is open at 560 pixels and closed at 360; a
// second click on the control that opened a page closes it.
void InstallUIMainWnd::TogglePanel(int page) {
  const bool open = height() == kPanelOpenHeight;
  if (open && ui::GetCurSel(setLayout_) == page) {
    ResizeClient(width(), kPanelClosedHeight);
    return;
  }
  ui::SelectItem(setLayout_, page);
  ResizeClient(width(), kPanelOpenHeight);
}

void InstallUIMainWnd::OnClick(const ui::TNotifyUI& msg) {
  QWidget* sender = msg.pSender;
  if (sender == nullptr) return;
  if (sender == closeBtn_ || sender == installCloseBtn_) CloseRequest();
  else if (sender == minBtn_ || sender == installMinBtn_) Minimize();
  else if (sender == installBtn_) OnInstallClick();
  else if (sender == browserBtn_) BrowseInstallFolder();
  else if (sender == licenseCheck_) ui::SetEnabled(installBtn_, true);
  else if (sender == startApp_) OnStartAppClick();
  else if (sender == installSetting_) TogglePanel(kSettingsPage);
}

void InstallUIMainWnd::OnItemSelect(const ui::TNotifyUI& msg) {
  if (msg.pSender != languageCombo_) return;
  currentLanguage_ = ui::GetCurSel(languageCombo_);
  QMLOG(" ChangeLanguageTo: " << LanguageFileName(currentLanguage_));
  ApplyLanguage();
}

// A carousel dot slides to its picture and restarts the slide timer.
void InstallUIMainWnd::OnSelectChanged(const ui::TNotifyUI& msg) {
  if (carousel_) carousel_->OnSelectChanged(msg);
}

void InstallUIMainWnd::CloseRequest() {
  if (closeMsgType_ == kMsgPlain) {
    hide();
    Close();
    return;
  }
  if (ShowMessageBox(closeMsgType_) == 1) Close();
}

void InstallUIMainWnd::CloseLabelAndStage(std::string& label, std::string& stage) const {
  const int main = ui::GetCurSel(mainTab_), page = ui::GetCurSel(pageLayout_);
  const int progress = shownProgress_;
  if (main == 0 && page == 0) {
    label = "close01", stage = "BeforeDownload";
  } else if (main == 1) {
    if (progress <= 84) label = "close02", stage = "Downloading";
    else if (progress <= 90) label = "close04", stage = "Md5Check";
    else label = "close03", stage = "Installing";
  } else if (main == 0 && page == 1) {
    if (FailureNoticeShown()) label = "close05", stage = "Installing";
    else if (launchAttempted_) label = "close07", stage = "Starting";
    else label = "close06", stage = "Installing";
  }
}

void InstallUIMainWnd::OnClose() {
  if (closing_) return;
  closing_ = true;
  handshake_.Close();
  std::string label, stage;
  CloseLabelAndStage(label, stage);
  StartCloseBundleUpload(label);  // only when the service asked for it (policy 2)
  UserLog().AddUserLog("CrashRate", "Close", label, true);
  UserLog().AddUserLog_funnel("Keypoint", stage, 0, "CorePublicModule", "Close", "null", true);
  for (int id : {kTimerVerifyCreep, kTimerInstallCreep, kTimerFirstProgress, kTimerLastProgress, kTimerCarousel,
                 kTimerAutoRunStart, kTimerAutoRunRetry}) {
    KillTimer(id);
  }
  // A worker waiting for the progress animation must not wait for a window
  // that is gone.
  handshake_.progressFinished.Set();
  // Nothing more is fetched for a window that is gone.
  if (banners_) banners_->Cancel();
  if (options_.quit) options_.quit();
  else QCoreApplication::quit();
}

void InstallUIMainWnd::WaitForAllThreadExit() {
  QMLOG("InstallUIMainWnd WaitForAllThreadExit");
  handshake_.asyncQueryAbandoned = true;
  handshake_.progressFinished.Set();
  const std::chrono::milliseconds limit(options_.threadExitLimitMs);
  if (!configThread_.JoinWithin(limit)) QMLOG(" Configuration query did not end in time, left behind");
  if (banners_) {
    banners_->Cancel();
    banners_->Join();
  }
  for (platform::BoundedThread& worker : workers_) {
    if (!worker.JoinWithin(limit)) QMLOG(" Install worker did not end in time, left behind");
  }
}

int InstallUIMainWnd::GetIEProxyConfig() {
  const platform::ProxyConfig proxy = platform::ReadProxyConfig();
  int result = 0;
  QMLOG(" Get proxy: 1, 0");
  if (!proxy.autoConfigUrl.empty()) QMLOG(" Proxy info1: " << proxy.autoConfigUrl), result = 1;
  if (!proxy.proxy.empty()) QMLOG(" Proxy info2: " << proxy.proxy), result = 2;
  if (!proxy.bypass.empty()) QMLOG(" Proxy info3: " << proxy.bypass), result = 3;
  return result;
}

void InstallUIMainWnd::ReleaseInstanceLock() { ::ReleaseInstanceLock(); }

std::string InstallUIMainWnd::ProductVersion() const {
  std::lock_guard<std::mutex> lock(sharedMutex_);
  return productVersion_;
}
