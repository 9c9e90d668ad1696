// The main window driven as a person uses it: clicks on its named controls,
// a loopback package host, the real signed setup program and product.
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "Common/MessageBoxWnd.h"
#include "Language.h"
#include "WindowTestSupport.h"
#include "support/LogCapture.h"
#include "ui/ComboBox.h"
#include "ui/ControlOps.h"

namespace fs = std::filesystem;

namespace {

void WriteAutoRun(const std::string& path, bool on) {
  std::ofstream(path) << "[Settings]\nAutoRun=" << (on ? 1 : 0) << "\n";
}

bool FunnelHas(const std::vector<UserLogItem>& events, const std::string& needle) {
  for (const auto& e : events) {
    if (e.body.find(needle) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

TEST_F(MainWindowTest, InstallsToFinishedAndStartsTheProductFromTheFinishedPage) {
  ServeSetup();
  auto options = StayOnFinishedPage();
  options.itemOverrides["Gif_duration"] = "0";
  InstallUIMainWnd& w = Open(std::move(options));
  std::vector<std::string> pages;
  const auto notePage = [&] {
    const std::string page = MainPage() == 1 ? "Running" : SubPage() == 1 ? "Finished"
                                                                          : "Setting";
    if (pages.empty() || pages.back() != page) pages.push_back(page);
  };
  notePage();
  QTimer pageWatch;
  QObject::connect(&pageWatch, &QTimer::timeout, notePage);
  pageWatch.start(1);
  std::vector<int> values;
  QObject::connect(&w, &InstallUIMainWnd::progressChanged, [&](int v) { values.push_back(v); });

  Click(w, "install_btn");
  ASSERT_TRUE(WaitFor([&] { return MainPage() == 0 && ui::IsVisible(w.FindControl("start_app")) && SubPage() == 1 &&
                                   w.CloseMsgType() == kMsgPlain; }));
  notePage();
  EXPECT_EQ(pages, (std::vector<std::string>{"Setting", "Running", "Finished"}));
  EXPECT_GE(w.InstallProgressValue(), 99);  // the worker ends the animation itself from 99
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_TRUE(fs::exists(InstallDir() + "/MarkEraser.exe"));
  EXPECT_FALSE(ui::IsVisible(w.FindControl("img_warning")));

  Click(w, "start_app");
  EXPECT_TRUE(WaitFor([&] { return fs::exists(InstallDir() + "/started.txt"); })) << "the product did not run";
  EXPECT_FALSE(w.isVisible());
  const auto actions = TakeActions();
  for (const char* step : {"2.DownStart", "3.Downloading...:First", "5.ProgramInstall:First", "6.ProgramFinsh:First",
                           "7.ProgramLaunch", "9.StartWindow:0", "Close:close07"}) {
    EXPECT_TRUE(Has(actions, step)) << step;
  }
}

// The start-up log states a 64-bit system as such and the primary screen's
// real size, and the first-run event carries the same screen.
TEST_F(MainWindowTest, StartupFactsNameTheSystemsBitsAndThePrimaryScreen) {
  LogCapture log;
  Open();
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const double scale = screen->devicePixelRatio();
  const std::string size = std::to_string(static_cast<int>(screen->geometry().width() * scale + 0.5)) + "*" +
                           std::to_string(static_cast<int>(screen->geometry().height() * scale + 0.5));
  EXPECT_NE(log.Text().find(" Screen: " + size + ", "), std::string::npos) << log.Text();
  // This 64-bit build runs on a 64-bit system.
  EXPECT_NE(log.Text().find("64Bit: True"), std::string::npos) << log.Text();
  const auto actions = TakeActions();
  EXPECT_TRUE(Has(actions, "SysScreenResolution:" + size));
  EXPECT_TRUE(std::any_of(actions.begin(), actions.end(), [](const std::string& a) {
    return a.rfind("SysOS:", 0) == 0 && a.find(" 64bit") != std::string::npos;
  }));
}

// After a failed download the advice link opens the address the worker
// used, with the channel and package of this executable's file name.
TEST_F(MainWindowTest, AdviceLinkOpensTheDownloadAddressWithTheChannel) {
  server_.ServeBytes(kPackagePath, "", ServeOptions{.errorStatus = 404, .errorBody = "not here"});
  std::vector<std::string> opened;
  auto options = Options();
  options.openUrl = [&](const std::string& url) { opened.push_back(url); };
  InstallUIMainWnd& w = Open(std::move(options));
  BoxAnswerer answerer;
  Click(w, "install_btn");
  ASSERT_TRUE(WaitFor([&] { return ui::IsVisible(w.FindControl("img_warning")) && w.CloseMsgType() == kMsgPlain; }));
  TakeActions();
  ClickLink(w, "text_fail_advice");
  EXPECT_TRUE(Has(TakeActions(), "8-2.ClickInstallLink:First"));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("http", 0), 0u) << opened[0];
  EXPECT_NE(opened[0].find("?rnclid=tests&package=qm_window_tests"), std::string::npos) << opened[0];
}

// The machine facts go once per computer: a second start sends none.
TEST_F(MainWindowTest, FirstRunFactsGoOncePerComputer) {
  Open();
  auto actions = TakeActions();
  EXPECT_TRUE(std::any_of(actions.begin(), actions.end(), [](const std::string& a) { return a.rfind("SysOS:", 0) == 0; }));
  CloseAndJoin();
  Open();
  actions = TakeActions();
  EXPECT_FALSE(std::any_of(actions.begin(), actions.end(), [](const std::string& a) { return a.rfind("Sys", 0) == 0; }));
}

TEST_F(MainWindowTest, DecliningTheAgreementStaysInSetting) {
  auto options = Options();
  options.itemOverrides["ChooseLicense"] = "0";
  InstallUIMainWnd& w = Open(std::move(options));
  EXPECT_FALSE(ui::IsSelected(w.FindControl("license_checkbox")));
  BoxAnswerer answerer("btn_no");
  Click(w, "install_btn");
  EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgAgreeLicense});
  EXPECT_EQ(MainPage(), 0);
  EXPECT_EQ(SubPage(), 0);
  EXPECT_FALSE(ui::IsSelected(w.FindControl("license_checkbox")));
  const auto events = TakeEvents();
  EXPECT_TRUE(FunnelHas(events, "Disagree"));
  EXPECT_FALSE(FunnelHas(events, "Agree and install"));
}

TEST_F(MainWindowTest, FailedDownloadShowsTheNoticeAndRetriesFromStartApp) {
  server_.ServeBytes(kPackagePath, "", ServeOptions{.errorStatus = 404, .errorBody = "not here"});
  InstallUIMainWnd& w = Open();
  BoxAnswerer answerer;
  const auto failed = [&] { return ui::IsVisible(w.FindControl("img_warning")) && w.CloseMsgType() == kMsgPlain; };
  const QString retryText = QString::fromStdString(GetLanguageText("install_page", "retry_btn", kLangEnglish));

  Click(w, "install_btn");
  ASSERT_TRUE(WaitFor(failed));
  EXPECT_TRUE(ui::IsVisible(w.FindControl("text_fail_retry")));
  EXPECT_TRUE(ui::IsVisible(w.FindControl("text_fail_advice")));
  EXPECT_EQ(ui::GetText(w.FindControl("start_app")), retryText);
  EXPECT_EQ(ui::GetText(w.FindControl("finish_label")), "Install failed, please install again!");
  EXPECT_EQ(MainPage(), 0);
  EXPECT_EQ(SubPage(), 1);
  ASSERT_TRUE(WaitFor([&] { return answerer.Types().size() == 1; }));
  EXPECT_EQ(answerer.Types()[0], kMsgUrlFail);
  auto actions = TakeActions();
  EXPECT_TRUE(Has(actions, "8.DownFail:First"));
  EXPECT_EQ(std::count_if(actions.begin(), actions.end(), [](const std::string& a) { return a.rfind("StartTimeDate:", 0) == 0; }), 1);

  for (const char* attempt : {"First", "Retry"}) {
    Click(w, "start_app");
    EXPECT_EQ(MainPage(), 1) << "a retry goes back to the running page";
    ASSERT_TRUE(WaitFor(failed));
    actions = TakeActions();
    EXPECT_TRUE(Has(actions, std::string("8-1.ClickTryAgain:") + attempt));
    EXPECT_TRUE(Has(actions, "8.DownFail:Retry"));
    EXPECT_FALSE(std::any_of(actions.begin(), actions.end(), [](const std::string& a) { return a.rfind("StartTime", 0) == 0; }));
  }
}

// The shipped start settings: the window's thread starts the product behind
// the waiting window, which stays its configured seconds.
TEST_F(MainWindowTest, TheDefaultConfigurationStartsTheProductBehindTheWaitingWindow) {
  ServeSetup();
  InstallUIMainWnd& w = Open();
  Click(w, "install_btn");
  bool waitingShown = false;
  QTimer watch;  // fires inside the waiting window's own modal loop too
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      waitingShown |= top->isVisible() && top->metaObject()->className() == QByteArray("CAlientWnd");
    }
  });
  watch.start(1);
  ASSERT_TRUE(WaitFor([&] { return waitingShown && fs::exists(InstallDir() + "/started.txt"); }))
      << "the waiting window or the product did not appear";
  EXPECT_FALSE(w.isVisible());
  std::vector<std::string> actions;
  ASSERT_TRUE(WaitFor([&] {
    for (auto& a : TakeActions()) actions.push_back(a);
    return Has(actions, "9.StartWindow:3");
  }));
  EXPECT_EQ(Count(actions, "7.ProgramLaunch"), 1);
}

// A close means stop. Closed while the setup program runs: the setup ends
// (it is not stopped halfway), but the product is not started.
TEST_F(MainWindowTest, CloseWhileTheSetupProgramRunsLetsItFinishButStartsNothing) {
  ServeSetup("markeraser_setup_slow.exe");
  InstallUIMainWnd& w = Open();
  Click(w, "install_btn");
  // Past 90 the setup program runs and the bar creeps through its band.
  ASSERT_TRUE(WaitFor([&] { return w.InstallProgressValue() >= 91; }));
  BoxAnswerer answerer("btn_yes");
  Click(w, "closebtn");
  EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgCancelInstall});
  EXPECT_FALSE(w.isVisible());
  const auto events = TakeEvents();
  bool close03 = false;
  for (const auto& e : events) close03 |= e.action == "Close" && e.label == "close03";
  EXPECT_TRUE(close03);
  CloseAndJoin();  // returns once the running setup program has ended
  EXPECT_TRUE(fs::exists(InstallDir() + "/MarkEraser.exe")) << "the setup program was left to finish";
  EXPECT_FALSE(fs::exists(InstallDir() + "/started.txt")) << "the product started after the close";
  EXPECT_FALSE(Has(TakeActions(), "7.ProgramLaunch"));
}

// Closed while the package is verified: no product, and no setup program
// once the worker sees the close (the check of a small package may end
// before the close does; then its setup program runs once, to its end).
TEST_F(MainWindowTest, CloseDuringVerificationStartsNoProduct) {
  ServeSetup();
  auto options = Options();
  options.timings.verifyCreepMs = 600000;   // the bar stays in the verification's band,
  options.timings.installCreepMs = 600000;  // whichever step the worker is in
  InstallUIMainWnd& w = Open(std::move(options));
  BoxAnswerer answerer("btn_yes");
  bool closed = false;
  // The check of a small package can end within one turn of the event loop,
  // so the watch closes in either creep step: with the creep held, the bar
  // stays in the verification's band (and the close is a close04) until the
  // setup program of 1.5 s has ended.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!closed && (w.HasTimer(kTimerVerifyCreep) || w.HasTimer(kTimerInstallCreep))) {
      closed = true;
      Click(w, "closebtn");
    }
  });
  watch.start(1);
  Click(w, "install_btn");
  ASSERT_TRUE(WaitFor([&] { return closed && !w.isVisible(); }));
  const auto events = TakeEvents();
  bool close04 = false;
  for (const auto& e : events) close04 |= e.action == "Close" && e.label == "close04";
  EXPECT_TRUE(close04);
  EXPECT_TRUE(FunnelHas(events, "\"Md5Check\""));
  CloseAndJoin();
  EXPECT_FALSE(fs::exists(InstallDir() + "/started.txt")) << "the product started after the close";
  const auto actions = TakeActions();
  EXPECT_LE(Count(actions, "5.ProgramInstall:First"), 1);
  EXPECT_FALSE(Has(actions, "7.ProgramLaunch"));
}

TEST_F(MainWindowTest, CloseAsksInSettingAndRunningButNotAfterTheEnd) {
  InstallUIMainWnd& w = Open();
  {
    BoxAnswerer answerer("btn_no");
    Click(w, "closebtn");
    EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgCancelInstall});
    EXPECT_TRUE(w.isVisible());
  }
  BoxAnswerer answerer("btn_yes");
  Click(w, "closebtn");
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(Has(TakeActions(), "Close:close01"));
}

TEST_F(MainWindowTest, AutoRunInstallsByItselfAndRetriesAfterAFailure) {
  server_.ServeBytes(kPackagePath, "", ServeOptions{.errorStatus = 404, .errorBody = "not here"});
  WriteAutoRun(dir_ / "qm_downloader.cfg", true);
  InstallUIMainWnd& w = Open();
  EXPECT_TRUE(w.HasTimer(kTimerAutoRunStart));
  EXPECT_TRUE(ui::IsSelected(w.FindControl("license_checkbox")));
  std::vector<std::string> actions;
  ASSERT_TRUE(WaitFor([&] {
    for (auto& a : TakeActions()) actions.push_back(a);
    return Has(actions, "8-1.ClickTryAgain:First");
  }));
  EXPECT_TRUE(Has(actions, "2.DownStart"));
  EXPECT_TRUE(Has(actions, "8.DownFail:First"));
  WriteAutoRun(dir_ / "qm_downloader.cfg", false);
  BoxAnswerer answerer;  // the failure box of the retry under way
  ASSERT_TRUE(WaitFor([&] { return ui::IsVisible(w.FindControl("img_warning")) && !w.HasTimer(kTimerAutoRunRetry); }));
}

TEST_F(MainWindowTest, PanelsOpenAndCloseAndTheLanguageChanges) {
  InstallUIMainWnd& w = Open();
  EXPECT_EQ(w.size(), QSize(650, 360));
  EXPECT_EQ(ui::GetText(w.FindControl("install_file_path_edit")), QString::fromStdString(dir_ / "opt/Vantor"));
  Click(w, "install_setting");
  EXPECT_EQ(w.height(), 560);
  EXPECT_EQ(ui::GetCurSel(w.FindControl("set_layout")), 1);
  ClickLink(w, "license_link");
  EXPECT_EQ(w.height(), 560);
  EXPECT_EQ(ui::GetCurSel(w.FindControl("set_layout")), 0);
  ClickLink(w, "license_link");
  EXPECT_EQ(w.height(), 360);
  Click(w, "install_setting");
  Click(w, "install_setting");
  EXPECT_EQ(w.height(), 360);

  auto* combo = w.FindControl<ui::ComboBox>("language_combox");
  combo->SelectItem(kLangJapanese, true);
  EXPECT_EQ(w.CurrentLanguage(), kLangJapanese);
  EXPECT_EQ(ui::GetText(w.FindControl("install_btn")),
            QString::fromStdString(GetLanguageText("install_page", "install_btn", kLangJapanese)));
  EXPECT_EQ(w.InstallerLanguageCode(), "ja");
  EXPECT_EQ(w.ProductUrlLabel(), "product_url_japanese");
  combo->SelectItem(kLangArabic, true);
  EXPECT_EQ(w.layoutDirection(), Qt::RightToLeft);
}

// A configuration whose product name climbs out of the install folder, is an
// absolute path, or names a link inside the folder that points out: the
// install finishes, the start fails as a failed start (DL019) and nothing
// outside the install folder runs.
TEST_F(MainWindowTest, HostileProductNamesStartNothingOutsideTheInstallFolder) {
  ServeSetup();
  const std::string evil = dir_ / "evil.sh";
  dir_.Write("evil.sh", "#!/bin/sh\ntouch \"" + dir_ / "evil-ran" + "\"\n");
  fs::permissions(evil, fs::perms::owner_all);
  fs::create_directories(InstallDir());
  fs::create_symlink(evil, InstallDir() + "/link.sh");
  BoxAnswerer answerer;  // the failed start's notice
  for (const std::string& name : {std::string("../../../evil.sh"), evil, std::string("link.sh")}) {
    SCOPED_TRACE(name);
    MainWindowOptions options = StayOnFinishedPage();
    options.itemOverrides["Process_name"] = name;
    InstallUIMainWnd& w = Open(options);
    Click(w, "install_btn");
    ASSERT_TRUE(WaitFor([&] { return MainPage() == 0 && ui::IsVisible(w.FindControl("start_app")) && SubPage() == 1; }));
    TakeActions();
    Click(w, "start_app");
    std::vector<std::string> actions;
    ASSERT_TRUE(WaitFor([&] {
      for (const std::string& a : TakeActions()) actions.push_back(a);
      return Has(actions, "FlowError:DL019");
    }));
    EXPECT_FALSE(fs::exists(dir_ / "evil-ran"));
    EXPECT_TRUE(WaitFor([&] { return answerer.SawPlain("ClickShortcutToLaunchBox"); }));
    CloseAndJoin();
  }
}
