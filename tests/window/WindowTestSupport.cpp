#include "WindowTestSupport.h"

#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <cstdlib>

#include "Common/MessageBoxWnd.h"
#include "ConfigurationService.h"
#include "TestSettings.h"
#include "platform/RegistryStore.h"
#include "platform/SkinResourceTable.h"
#include "ui/ControlOps.h"
#include "ui/TextControl.h"
#include "ui/UiApplication.h"

bool WaitFor(const std::function<bool()>& done, int deadlineMs) { return QTest::qWaitFor(done, deadlineMs); }

void Click(ui::WindowImplBase& window, const char* name) {
  QWidget* control = window.FindControl(name);
  ASSERT_NE(control, nullptr) << name;
  QTest::mouseClick(control, Qt::LeftButton);
}

void ClickLink(ui::WindowImplBase& window, const char* name) {
  auto* text = window.FindControl<ui::TextControl>(name);
  ASSERT_NE(text, nullptr) << name;
  emit text->linkActivated("link:0");
}

BoxAnswerer::BoxAnswerer(const char* button) : button_(button) {
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
  timer_.start(10);
}

void BoxAnswerer::Poll() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (auto* plain = qobject_cast<QMessageBox*>(top); plain != nullptr && plain->isVisible() &&
                                                       !plain->property("answered").toBool()) {
      plain->setProperty("answered", true);
      plainBoxes_.push_back(plain->objectName().toStdString());
      plain->accept();
      continue;
    }
    auto* box = qobject_cast<MessageBoxWnd*>(top);
    if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) continue;
    box->setProperty("answered", true);
    types_.push_back(box->Type());
    QWidget* button = box->FindControl(button_);
    if (button == nullptr || !ui::IsVisible(button)) button = box->FindControl("btn_yes");
    QTest::mouseClick(button, Qt::LeftButton);
  }
}

bool BoxAnswerer::Saw(int type) const { return std::find(types_.begin(), types_.end(), type) != types_.end(); }

bool BoxAnswerer::SawPlain(const std::string& name) const {
  return std::find(plainBoxes_.begin(), plainBoxes_.end(), name) != plainBoxes_.end();
}

std::vector<UserLogItem> TakeEvents() { return CSingleUserLog::GetInstance()->TakeRecordedEvents(); }

std::vector<std::string> TakeActions() {
  std::vector<std::string> actions;
  for (const auto& e : TakeEvents()) {
    if (!e.category.empty()) actions.push_back(e.action + (e.label.empty() ? "" : ":" + e.label));
  }
  return actions;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

int Count(const std::vector<std::string>& list, const std::string& item) {
  return static_cast<int>(std::count(list.begin(), list.end(), item));
}

MainWindowTest::MainWindowTest() {
  ui::EnsureApplication();
  static const bool loaded = platform::UseEmbeddedSkinArchive();
  (void)loaded;
  // The configuration service is nowhere: the embedded configuration serves.
  process_.RegistryRoot(dir_ / "registry")
      .SettingsFile(dir_ / "qm_downloader.cfg")
      .ConfigService({"http://127.0.0.1:9", "http://127.0.0.1:9", "http://127.0.0.1:9"});
  CSingleUserLog::GetInstance()->InitLogPath("markeraser_setup");
  TakeEvents();
}

MainWindowTest::~MainWindowTest() {
  CloseAndJoin();
}

MainWindowOptions MainWindowTest::Options() {
  MainWindowOptions options;
  options.timings = {5, 5, 5, 5, 5, 5};
  options.worker.rounds = 1;
  options.worker.timings.noProgressMs = 3000;
  options.worker.timings.rangeTimeoutMs = 3000;
  options.worker.timings.probeTimeoutMs = 3000;
  options.worker.timings.probeRetryPauseMs = 1;
  options.worker.timings.networkAlive = [] { return true; };
  options.worker.setupWaitUnit = std::chrono::milliseconds(100);
  options.worker.autoRunExitPauseMs = 0;
  options.facts.processes = [this] { return processes_; };
  options.programFilesFolder = dir_ / "opt";
  options.openUrl = [](const std::string&) {};
  // The embedded configuration's own start settings (NeedStart_flag 1,
  // Gif_duration 3) hold unless a test chooses otherwise.
  options.itemOverrides = {{"Extra_download_url", PackageUrl()}, {"InstallTimeout", "600"}};
  options.quit = [] {};
  return options;
}

MainWindowOptions MainWindowTest::StayOnFinishedPage() {
  MainWindowOptions options = Options();
  options.itemOverrides["NeedStart_flag"] = "0";
  return options;
}

InstallUIMainWnd& MainWindowTest::Open(MainWindowOptions options) {
  window_ = std::make_unique<InstallUIMainWnd>(std::move(options));
  EXPECT_TRUE(window_->Create("QM_UI_Frame_test", "Vantor Mark Eraser", 600, 400));
  window_->show();
  return *window_;
}

void MainWindowTest::CloseAndJoin() {
  if (!window_) return;
  window_->WaitForAllThreadExit();
  window_.reset();
}

void MainWindowTest::ServeSetup(const std::string& name) {
  server_.ServeBytes(kPackagePath, TempDir::ReadAbsolute(std::string(QM_DEMO_PACKAGES_DIR) + "/" + name));
}

std::string MainWindowTest::InstallDir() const { return dir_ / "opt/Vantor/Vantor Mark Eraser"; }

int MainWindowTest::MainPage() const { return ui::GetCurSel(window_->FindControl("main_tablayout")); }
int MainWindowTest::SubPage() const { return ui::GetCurSel(window_->FindControl("page_layout")); }
