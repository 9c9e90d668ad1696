#pragma once
// What a test may change about the main window: the periods of its timers,
// the install worker's limits, the machine facts of the pre-install checks,
// the folder dialog, the desktop calls and the telemetry queue. The program
// uses the defaults.
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "InstallThreadFunc.h"
#include "PreInstallRules.h"

class CSingleUserLog;
class QWidget;

struct MainWindowTimings {
  int firstProgressMs = 1000;  // timer 1922, once
  int verifyCreepMs = 2000;    // timer 1920
  int installCreepMs = 5000;   // timer 1921
  int lastProgressMs = 500;    // timer 1923
  int autoRunStartMs = 2000;   // timer 666, once
  int autoRunRetryMs = 1000;   // timer 888, once
};

struct MainWindowOptions {
  MainWindowTimings timings;
  InstallWorkerOptions worker;
  PreInstallFacts facts = SystemPreInstallFacts();
  // The folder dialog; nullopt when cancelled. Unset: the desktop's dialog.
  std::function<std::optional<std::string>(QWidget* owner, const std::string& start)> chooseFolder;
  // Opens a URL with the desktop's handler. Unset: the desktop's handler.
  std::function<void(const std::string& url)> openUrl;
  // Shows a file in the file manager. Unset: the desktop's file manager.
  std::function<void(const std::string& path)> showInFolder;
  // The program-files folder. Empty: /opt when writable, else ~/.local/opt.
  std::string programFilesFolder;
  // Items of the embedded configuration replaced before the window reads them.
  std::map<std::string, std::string> itemOverrides;
  // Telemetry queue of the window and of its install workers and their
  // downloads. Null: the process's queue.
  CSingleUserLog* userLog = nullptr;
  // How long the exit waits for each thread the window started.
  int threadExitLimitMs = 600000;
  // Ends the message loop after the close. Unset: the application's quit.
  std::function<void()> quit;
};
