// How smooth the main window stays while it installs a large package.
//   qm_bench_window_stall PACKAGE_URL SCRATCH_DIR
// The real main window (offscreen) installs the signed package at
// PACKAGE_URL (the embedded configuration otherwise); a 10 ms timer on the
// window thread records the longest gap between its ticks from the install
// click to the finished page, and the progress label's text changes are
// counted while the package downloads (until the bar reaches 85). Ends with
// one line:
//   window-stall max_ms <ms> label_changes_per_s <n>
// Targets: longest gap at most 50 ms, at least one label change a second.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common/MessageBoxWnd.h"
#include "Common/install_ui_mainwnd.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "platform/RegistryStore.h"
#include "platform/SkinResourceTable.h"
#include "ui/ControlOps.h"
#include "ui/UiApplication.h"

namespace {

constexpr int kTickMs = 10;
constexpr int kDownloadBand = 85;  // the bar's end of the download part
constexpr qint64 kDeadlineMs = 600000;

// Scratch home: logs, downloads, registry store and install folder.
void UseScratchHome(const std::string& scratch) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES"}) unsetenv(name);
  setenv("LANG", "en_US.UTF-8", 1);
  setenv("XDG_STATE_HOME", (scratch + "/state").c_str(), 1);
  setenv("XDG_CACHE_HOME", (scratch + "/cache").c_str(), 1);
  platform::SetRegistryRootForTesting(scratch + "/registry");
  testsettings::SetSettingsFileForTesting(scratch + "/qm_downloader.cfg");
  CSingleUserLog::GetInstance()->InitLogPath("markeraser_setup");
  qmlog::ConfigureDefaultLogger(CSingleUserLog::GetInstance()->GetLogFilePath(), true);
}

// Ticks of the window thread and what the progress label showed.
struct Probe {
  QElapsedTimer clock;
  qint64 lastTick = 0;
  qint64 maxGapMs = 0;
  qint64 maxGapEndMs = 0;  // when the longest gap ended
  qint64 firstGapMs = -1;  // the first gap holds the click's own handling
  qint64 maxLaterGapMs = 0;
  qint64 downloadEndMs = -1;
  int labelChanges = 0;
  QString lastLabel;
  int failedBox = -1;  // type of a message box, when one opened
};

// A message box means the install failed: note it and dismiss it.
void DismissFailureBox(Probe& probe) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<MessageBoxWnd*>(top);
    if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) continue;
    box->setProperty("answered", true);
    probe.failedBox = box->Type();
    if (QWidget* yes = box->FindControl("btn_yes")) QTest::mouseClick(yes, Qt::LeftButton);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qm_bench_window_stall PACKAGE_URL SCRATCH_DIR\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  UseScratchHome(argv[2]);
  ui::EnsureApplication();
  platform::UseEmbeddedSkinArchive();

  MainWindowOptions options;
  options.programFilesFolder = std::string(argv[2]) + "/opt";
  options.openUrl = [](const std::string&) {};
  options.quit = [] {};
  // Stay on the finished page: the run ends there, without the product.
  options.itemOverrides = {{"Extra_download_url", argv[1]}, {"NeedStart_flag", "0"}, {"Gif_duration", "0"}};
  InstallUIMainWnd window(std::move(options));
  window.Create("QM_UI_Frame", "Vantor Mark Eraser", 600, 400);
  window.show();
  QWidget* label = window.FindControl("install_label");
  QWidget* startApp = window.FindControl("start_app");
  // The finished page: the setting tab with its second page and the start button.
  const auto finished = [&] {
    return ui::GetCurSel(window.FindControl("main_tablayout")) == 0 &&
           ui::GetCurSel(window.FindControl("page_layout")) == 1 && ui::IsVisible(startApp);
  };

  Probe probe;
  QObject::connect(&window, &InstallUIMainWnd::progressChanged, [&](int percent) {
    if (probe.downloadEndMs >= 0) return;
    const QString text = ui::GetText(label);
    if (text != probe.lastLabel) ++probe.labelChanges;
    probe.lastLabel = text;
    if (percent >= kDownloadBand) probe.downloadEndMs = probe.clock.elapsed();
  });
  QTimer ticks;
  ticks.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const qint64 now = probe.clock.elapsed();
    if (probe.firstGapMs < 0) probe.firstGapMs = now - probe.lastTick;
    else probe.maxLaterGapMs = std::max(probe.maxLaterGapMs, now - probe.lastTick);
    if (now - probe.lastTick > probe.maxGapMs) {
      probe.maxGapMs = now - probe.lastTick;
      probe.maxGapEndMs = now;
    }
    probe.lastTick = now;
    DismissFailureBox(probe);
  });
  QApplication::processEvents();

  probe.lastLabel = ui::GetText(label);
  probe.clock.start();
  ticks.start(kTickMs);
  QTest::mouseClick(window.FindControl("install_btn"), Qt::LeftButton);
  while (probe.failedBox < 0 && !finished() && probe.clock.elapsed() < kDeadlineMs) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  ticks.stop();
  const qint64 totalMs = probe.clock.elapsed();
  const bool done = finished();
  window.WaitForAllThreadExit();
  CSingleUserLog::GetInstance()->WaitThreadForExit();
  if (probe.failedBox >= 0 || probe.downloadEndMs <= 0 || !done) {
    std::fprintf(stderr, "window-stall: the install did not finish (message box %d, %lld ms)\n", probe.failedBox,
                 static_cast<long long>(totalMs));
    return 1;
  }
  std::fprintf(stderr,
               "window-stall: download %lld ms, install to finished page %lld ms, %d label changes, "
               "longest gap ended at %lld ms; the click's own gap %lld ms, longest gap after it %lld ms\n",
               static_cast<long long>(probe.downloadEndMs), static_cast<long long>(totalMs), probe.labelChanges,
               static_cast<long long>(probe.maxGapEndMs), static_cast<long long>(probe.firstGapMs),
               static_cast<long long>(probe.maxLaterGapMs));
  std::printf("window-stall max_ms %lld label_changes_per_s %.1f\n", static_cast<long long>(probe.maxGapMs),
              probe.labelChanges * 1000.0 / static_cast<double>(probe.downloadEndMs));
  return 0;
}
