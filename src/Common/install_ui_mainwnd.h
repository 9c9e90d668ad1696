#pragma once
// The program's main window and the owner of the install flow: a controller
// over the named controls of "InstallMainWnd.xml". The user chooses language
// and folder, accepts the licence and clicks install; the window then runs
// the pre-install checks, starts the install worker on its own thread, shows
// its progress from the worker's messages and its own timers, and offers
// start, retry or close. WaitForAllThreadExit waits for the threads it
// started, each for a bounded time.
//
// Threads: controls and timers belong to the window's thread. The install
// worker calls IInstallObserver, the engine's threads OnDownloadProgress and
// the telemetry delivery thread ITelemetryWindow; those calls read atomics,
// values under sharedMutex_, values fixed before the threads start (the
// embedded items, the ids), or post a message to the window's thread. The
// worker reads its own copy of the InstallRequest, filled before it starts;
// the configuration record in the InstallHandshake is shared with the
// configuration query and the worker under ConfigExchangeLock. Only an
// unattended run starts the product on the worker's thread (ClickStartApp).
#include <QLocalServer>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Common/CBannerThread.h"
#include "Common/CCarousel.h"
#include "CConfigure.h"
#include "Common/LanguageTexts.h"
#include "Common/MainWindowOptions.h"
#include "InstallHandshake.h"
#include "InstallRequest.h"
#include "InstallWindow.h"
#include "TelemetryContext.h"
#include "platform/BoundedThread.h"
#include "platform/Event.h"
#include "ui/Accessibility.h"
#include "ui/WindowImplBase.h"

class CSingleUserLog;
class LauncherEntry;

// Timer ids of the main window.
enum MainWindowTimer : int {
  kTimerVerifyCreep = 1920,
  kTimerInstallCreep = 1921,
  kTimerFirstProgress = 1922,
  kTimerLastProgress = 1923,
  kTimerCarousel = 2000,
  kTimerAutoRunStart = 666,
  kTimerAutoRunRetry = 888,
};

// Messages the window posts to itself from other threads.
enum MainWindowMessage : int {
  kMsgSetProgress = 2960,        // [percent] from a download thread
  kMsgWorkerOpenUrl = 2961,      // the worker asked for a URL to be opened
  kMsgWorkerStartApp = 2962,     // the worker clicks "start_app"
  kMsgWorkerClose = 2963,        // the worker closes the window
  kMsgWorkerStartFailed = 2964,  // the worker could not start the product
};

class InstallUIMainWnd : public ui::WindowImplBase, public IInstallObserver, public ITelemetryWindow {
  Q_OBJECT
 public:
  explicit InstallUIMainWnd(MainWindowOptions options = {});
  ~InstallUIMainWnd() override;

  // Creates the window (class name, or "QM_UI_Frame" while it is empty);
  // the skin then sets its size and InitWindow closes the panel.
  bool Create(const std::string& className, const std::string& title, int width, int height);
  // Waits for every thread the window started, the configuration query and
  // the workers at most options.threadExitLimitMs each (then logs and goes
  // on); the banner thread until it ends.
  void WaitForAllThreadExit();

  QString GetWindowClassName() const override;
  QString GetSkinFile() const override { return "InstallMainWnd.xml"; }

  // Shows message box type modally; 1 for the affirmative button.
  int ShowMessageBox(int type);
  // The only way the progress bar changes; never backwards. Safe from any
  // thread: calls from other threads are handed to the window's thread.
  void SetProgress(int percent);
  int BeginInstallTask();
  void ClearAPPData();
  int GetIEProxyConfig();

  // Pre-install checks.
  bool AppIsRunning();  // true when the product is NOT running
  bool CheckInstallEnvironment();
  int EnoughFreeSpace(bool unused, std::int64_t size, std::uint64_t& freeBytes);
  bool IsPathPendingRename(const std::string& path) const;
  int BrowseInstallFolder();
  bool ShowDiskSpace(const std::string& folder);
  bool WillShowNetFrameCheck(std::string folder) const;

  // State for tests and tools.
  int CurrentLanguage() const { return currentLanguage_; }
  int CloseMsgType() const { return closeMsgType_; }
  bool IsRetryState() const { return isRetry_; }
  float FreeSpaceGB() const { return freeSpaceGB_; }
  CSingleUserLog& UserLog() const;

  // IInstallObserver: called by the install worker on its thread.
  void PostWorkerMessage(int message, std::intptr_t wParam) override;
  void SetAdviceUrl(const std::string& url) override;
  void SetStopProgressCreep(int value) override { stopProgressCreep_ = value; }
  void SetInstallFinished(bool value) override { installFinished_ = value; }
  int InstallProgressValue() const override { return shownProgress_; }
  void OnDownloadProgress(std::int64_t done, std::int64_t total) override;
  void WriteProductLanguage() override;
  void OpenUrl(const std::string& url) override;
  void ClickStartApp() override;
  void CloseWindow() override;
  void ReleaseInstanceLock() override;

  // Installation folder of the pre-install checks, from the path box.
  std::string GetInstallPath() const;
  std::string AdviceUrl() const;
  // Installer language code and "product_url_…" label of the chosen language.
  std::string InstallerLanguageCode() const;
  std::string ProductUrlLabel() const;
  const InstallHandshake& Handshake() const { return handshake_; }
  // The package's size, from the attempt's first progress report.
  std::int64_t RecordedPackageSize() const { return packageSize_; }

  // ITelemetryWindow: read by the telemetry delivery thread.
  std::string ProductVersion() const override;
  int LanguageId() const override { return currentLanguage_; }

 signals:
  // The bar took a new value (window thread).
  void progressChanged(int percent);

 protected:
  void InitWindow() override;
  void OnClick(const ui::TNotifyUI& msg) override;
  void OnItemSelect(const ui::TNotifyUI& msg) override;
  void OnSelectChanged(const ui::TNotifyUI& msg) override;
  void Notify(const ui::TNotifyUI& msg) override;
  long HandleCustomMessage(int msg, std::intptr_t wParam, std::intptr_t lParam, bool& handled) override;
  void OnTimer(int id) override;
  void OnClose() override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Keyboard and screen readers (install_ui_mainwnd_access.cpp).
  void NameControlsForScreenReaders();
  void AnnounceProgress(int percent);
  // Window start-up (install_ui_mainwnd.cpp).
  void LookUpControls();
  void ReadEmbeddedItems();
  void LogStartupFacts();
  void SendLaunchEvents();
  void ReportFirstRunOnThisComputer();
  void StartLanguage();
  void ApplyLanguage();
  void ListenForRaiseRequests();
  void TogglePanel(int page);
  void CloseRequest();
  void CloseLabelAndStage(std::string& label, std::string& stage) const;

  // Install flow (install_ui_mainwnd_install.cpp).
  void OnInstallClick();
  bool AcceptLicenceIfNeeded();
  void SendStartTimeOnce();
  void StartWorker();
  void OnStartAppClick();
  void RetryInstall();
  int LaunchProduct();
  void StartBehindWaitingWindow();
  int SendProductStartEvents();
  std::string ProductExePath() const;
  void ShowFailureNotice();
  bool FailureNoticeShown() const;
  void OpenAdviceLink();
  std::string AdviceLinkUrl();
  void ShowPackageInFolder();
  void LeaveRunning();

  // Worker messages, timers, progress (install_ui_mainwnd_progress.cpp).
  void OnDownloadFailed(std::intptr_t wParam);
  void OnInstallTimeout();
  void OnSignatureFailed();
  void OnInstalled();
  void OnBannersReady();
  void OnNotInstaller();
  void OnInstallCreep();
  void OnLastProgress();
  void ApplyProgress(int percent);
  void SetTaskbarError();
  void SetTaskbarProgress(int percent);
  void RunQueuedUrls();
  void RefreshProductVersion();

  const std::string& AttemptLabel() const;

  MainWindowOptions options_;
  std::string className_;
  QLocalServer raiseServer_;

  // Controls, looked up once.
  QWidget *closeBtn_ = nullptr, *minBtn_ = nullptr, *mainTab_ = nullptr, *pageLayout_ = nullptr,
          *setLayout_ = nullptr, *pathEdit_ = nullptr, *progressBar_ = nullptr, *progressLabel_ = nullptr,
          *spaceNeed_ = nullptr, *spaceFree_ = nullptr, *installSetting_ = nullptr, *licenseLink_ = nullptr,
          *licenseCheck_ = nullptr, *agreeImprovement_ = nullptr, *installBtn_ = nullptr,
          *licenseEnglish_ = nullptr, *licenseJapanese_ = nullptr, *licenseText_ = nullptr,
          *licenseTextLayout_ = nullptr, *languageCombo_ = nullptr, *selectLanguageText_ = nullptr,
          *installPathText_ = nullptr, *browserBtn_ = nullptr, *imagePlay_ = nullptr, *background_ = nullptr,
          *failRetry_ = nullptr, *failAdvice_ = nullptr, *imgWarning_ = nullptr, *startApp_ = nullptr,
          *startShortcut_ = nullptr, *installMinBtn_ = nullptr, *installCloseBtn_ = nullptr,
          *finishLabel_ = nullptr;

  // Embedded items and the configuration record.
  class ItemSnapshot : public IConfigItemSource {
   public:
    bool GetItemText(const std::string& name, std::string& text) const override;
    std::map<std::string, std::string> items;
  } items_;
  // Shared with the install workers; config_ is its configuration record.
  InstallHandshake handshake_;
  CConfigure& config_ = handshake_.config;
  int downloaderId_ = 0, siteId_ = 0, languageId_ = 0, needStartFlag_ = 0, adminFlag_ = 0, chooseLicense_ = 0,
      mainPid_ = 0;
  std::atomic<int> waitAnimationSeconds_{0};
  std::string embeddedProductName_, defaultInstallPath_, downloadFolder_, startTimestamp_;

  // Window state.
  std::atomic<int> currentLanguage_{0};
  int closeMsgType_ = 2;
  std::atomic<bool> isRetry_{false};
  std::atomic<bool> launchAttempted_{false};
  bool bannerReady_ = false;
  bool startTimeSent_ = false;
  std::atomic<bool> closing_{false};
  int carouselFrameCount_ = 0, carouselInterval_ = CCarousel::kDefaultIntervalMs;
  // The running page's carousel and the thread that fetches its banners.
  std::unique_ptr<CCarousel> carousel_;
  std::unique_ptr<CBannerThread> banners_;
  // The progress on the dock or task manager.
  std::unique_ptr<LauncherEntry> launcher_;
  float freeSpaceGB_ = 0;
  LanguageFormats formats_;
  std::int64_t createdAtMs_ = 0;

  // Shared with the worker and the download threads.
  std::atomic<bool> installFinished_{false};
  std::atomic<int> stopProgressCreep_{0};
  std::atomic<int> shownProgress_{0};
  ui::AnnounceThrottle progressAnnounce_;
  std::atomic<std::int64_t> packageSize_{0};
  mutable std::mutex sharedMutex_;
  std::string adviceUrl_;
  // What the running worker was asked: filled before it starts, read by it.
  InstallRequest request_;
  std::string productVersion_;
  std::vector<std::string> queuedUrls_;

  // Threads: the background configuration query and one worker per attempt.
  platform::BoundedThread configThread_;
  std::vector<platform::BoundedThread> workers_;
};
