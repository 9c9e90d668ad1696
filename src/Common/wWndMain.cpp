#include "Common/wWndMain.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include "Common/CrashHandler.h"
#include "Common/MessageBoxWnd.h"
#include "Common/ProcessGlobals.h"
#include "Common/StartupRules.h"
#include "Common/install_ui_mainwnd.h"
#include "EmbeddedConfig.h"
#include "FuntionImpl.h"
#include "Language.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "platform/MemoryZip.h"
#include "platform/Paths.h"
#include "platform/SkinResourceTable.h"
#include "platform/WindowProbe.h"
#include "ui/FirstPaintMark.h"
#include "ui/UiApplication.h"

namespace {

constexpr const char* kMainWindowTitle = "Vantor Mark Eraser";
constexpr int kMainWindowWidth = 600;
constexpr int kMainWindowHeight = 400;

// "debug" asks for a console. A Linux program already writes to the terminal
// it was started from; only a closed standard output needs one.
void EnsureConsole() {
  if (fcntl(STDOUT_FILENO, F_GETFD) != -1) return;
  const int tty = open("/dev/tty", O_WRONLY | O_CLOEXEC);
  if (tty >= 0 && tty != STDOUT_FILENO) {
    dup2(tty, STDOUT_FILENO);
    close(tty);
  }
}

// Hands the embedded skin to the toolkit and reads the start-up items from it.
StartupValues LoadEmbeddedStartupValues() {
  if (!platform::UseEmbeddedSkinArchive()) return {};
  std::string xml;
  if (!platform::ReadResourceFile(kEmbeddedConfigName, xml)) return {};
  return ReadStartupValues(ParseEmbeddedConfigItems(xml));
}

void SetUpLogging(const std::string& downloadUrl) {
  const std::string stem = LogStemFromUrl(downloadUrl);
  if (stem.empty()) {
    qmlog::EnsureDefaultLogger();  // library defaults, no log file
    return;
  }
  CSingleUserLog::GetInstance()->InitLogPath(stem);
  qmlog::ConfigureDefaultLogger(CSingleUserLog::GetInstance()->GetLogFilePath(), true);
  SetCrashLogFile(CSingleUserLog::GetInstance()->GetLogFilePath());
}

int RunBundleMode(const CommandLine& cmd) {
  const bool dump = cmd.mode == CommandLine::Mode::kCrashDump;
  ForbidCrashRelaunch();  // a crash of the bundle run itself must not loop
  UploadDiagnosticBundle(cmd.logFileName, cmd.reason, "", dump);
  return 0;
}

// False when another instance owns the single-instance lock (and AutoRun is off).
bool TakeInstanceLock(const StartupValues& values) {
  auto* lock = new platform::InstanceLock();  // lives until the process ends
  bool alreadyExisted = false;
  if (!lock->Create(InstanceLockName(values.downloaderId), alreadyExisted)) {
    delete lock;
    lock = nullptr;  // like a failed creation: go on without a handle
  } else if (alreadyExisted && !IsAutoRun()) {
    delete lock;
    return false;
  }
  g_instanceMutex = lock;
  return true;
}

void ShowNotSupportedMessage() {
  ui::EnsureApplication();
  MessageBoxWnd box(kMsgNotSupportSystem, GetLanguageByLocalSystem());
  box.ShowModal(nullptr);
}

// Creates the main window and runs the message loop until it ends.
InstallUIMainWnd* RunMainWindow() {
  ui::EnsureApplication();
  ui::MarkStartupStep("application");
  ui::CloseWindowsOnTerminationSignals();
  auto* window = new InstallUIMainWnd();  // lives until the process ends
  window->Create(g_windowClassName, kMainWindowTitle, kMainWindowWidth, kMainWindowHeight);
  ui::MarkStartupStep("window-created");
  window->CenterWindow();
  ui::MarkFirstPaintIfAsked(window);
  window->show();
  ui::MarkStartupStep("shown");
  ui::RunMessageLoop();
  return window;
}

}  // namespace

int wWinMain(const std::string& commandLineTail) {
  ui::MarkStartupStep("main");
  InstallUnhandledExceptionHandler();
  ui::MarkStartupStep("crash-handler");
  const CommandLine cmd = ParseCommandLine(commandLineTail);
  if (cmd.debug) EnsureConsole();
  const StartupValues values = LoadEmbeddedStartupValues();
  ui::MarkStartupStep("skin-archive");
  curl_global_init(CURL_GLOBAL_ALL);
  ui::MarkStartupStep("curl");
  SetUpLogging(values.downloadUrl);
  ui::MarkStartupStep("logging");
  QMLOG(" Command line: " << commandLineTail);
  if (cmd.mode != CommandLine::Mode::kNormal) return RunBundleMode(cmd);

  if (!values.downloaderIdText.empty()) {
    g_windowClassName = WindowClassNameFor(values.downloaderIdText);
    if (!IsAutoRun() && platform::RaiseWindowOfClass(g_windowClassName)) return 0;
  }
  if (!TakeInstanceLock(values)) return 0;
  const bool kitFlag = KitFlagFor(values.downloaderId);
  g_downloaderId = values.downloaderId;
  CSingleUserLog::GetInstance()->SetBaseInfo(values.siteId, values.softwareName, values.downloadUrl,
                                             kitFlag, values.mainPid);
  SetCrashRelaunchPolicy(&CSingleUserLog::GetInstance()->downloaderConfig);

  if (ShouldRefuse32Bit(values.support32System, IsSystem32Bit())) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "32bitStartupForbided", "", true);
    ShowNotSupportedMessage();
    return 0;
  }
  AllowThroughFirewall(platform::ExecutablePath());
  ui::MarkStartupStep("instance");
  InstallUIMainWnd* window = RunMainWindow();
  ReleaseInstanceLock();
  QMLOG(" Wait exit 1");
  window->WaitForAllThreadExit();
  QMLOG(" Wait exit 2");
  CSingleUserLog::GetInstance()->WaitThreadForExit();
  QMLOG(" Wait exit 3");
  curl_global_cleanup();
  return 0;
}
