#pragma once
// Shared set-up of the main-window tests: a scratch home (logs, downloads,
// registry, install folder), the English locale, short window timings and
// worker limits, a fake process list, and helpers that click named controls,
// answer message boxes and wait for conditions with a deadline.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/install_ui_mainwnd.h"
#include "SingleUserLog.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

// Generous: sanitizer builds on two busy cores run many times slower.
inline constexpr int kDeadlineMs = 120000;

// Runs the event loop until done() holds or the deadline passes.
bool WaitFor(const std::function<bool()>& done, int deadlineMs = kDeadlineMs);

// A mouse click on the named control of window.
void Click(ui::WindowImplBase& window, const char* name);
// A click on link 0 of the named text control.
void ClickLink(ui::WindowImplBase& window, const char* name);

// Answers every message box that opens while it lives with one button
// ("btn_yes" or "btn_no") and records the box types in order.
class BoxAnswerer : public QObject {
 public:
  explicit BoxAnswerer(const char* button = "btn_yes");
  void SetButton(const char* button) { button_ = button; }
  const std::vector<int>& Types() const { return types_; }
  bool Saw(int type) const;
  // Plain boxes (QMessageBox) answered so far, by object name.
  bool SawPlain(const std::string& name) const;

 private:
  void Poll();
  const char* button_;
  QTimer timer_;
  std::vector<int> types_;
  std::vector<std::string> plainBoxes_;
};

// Events of the process's telemetry queue: "action" or "action:label".
std::vector<std::string> TakeActions();
std::vector<UserLogItem> TakeEvents();
bool Has(const std::vector<std::string>& list, const std::string& item);
int Count(const std::vector<std::string>& list, const std::string& item);

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest();
  ~MainWindowTest() override;

  // Options with short timings and the package URL of this test's server.
  MainWindowOptions Options();
  // Options under which the product starts only from the user's click on
  // the finished page (NeedStart_flag 0).
  MainWindowOptions StayOnFinishedPage();
  // Creates and shows the window.
  InstallUIMainWnd& Open(MainWindowOptions options);
  InstallUIMainWnd& Open() { return Open(Options()); }
  void CloseAndJoin();

  std::string PackageUrl() const { return server_.Url(kPackagePath); }
  void ServeSetup(const std::string& name = "markeraser_setup.exe");
  std::string InstallDir() const;  // where the product lands
  int MainPage() const;
  int SubPage() const;

  static constexpr const char* kPackagePath = "/downloads/extra/markeraser_setup.exe";

  TempDir dir_;
  TestHttpServer server_;
  std::vector<platform::ProcessEntry> processes_{{1, "systemd"}, {2, "bash"}};
  // The English locale and a scratch home for logs, for this test only.
  ScopedEnv lcAll_{"LC_ALL"};
  ScopedEnv lcMessages_{"LC_MESSAGES"};
  ScopedEnv lang_{"LANG", "en_US.UTF-8"};
  ScopedEnv state_{"XDG_STATE_HOME", dir_ / "state"};
  ScopedEnv cache_{"XDG_CACHE_HOME", dir_ / "cache"};
  ScopedTestProcess process_;
  std::unique_ptr<InstallUIMainWnd> window_;
};
