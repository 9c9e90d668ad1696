// The main window driven as a person uses it: clicks on its named controls,
// a loopback package host, the real signed setup program and product.
#include <QTest>
#include <filesystem>
#include <fstream>

#include "Common/MessageBoxWnd.h"
#include "Language.h"
#include "WindowTestSupport.h"
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
  InstallUIMainWnd& w = Open();
  std::vector<std::string> pages;
  const auto notePage = [&] {
    const std::string page = MainPage() == 1 ? "Running" : SubPage() == 1 ? "Finished" : "Setting";
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

TEST_F(MainWindowTest, CloseAt87PercentReportsTheVerificationStageAndInstallsNothing) {
  server_.ServeBytes(kPackagePath, TempDir::ReadAbsolute(std::string(QM_DEMO_PACKAGES_DIR) + "/markeraser_setup.exe"),
                     ServeOptions{.bytesPerSecond = 256 << 10});
  InstallUIMainWnd& w = Open();
  Click(w, "install_btn");
  ASSERT_EQ(MainPage(), 1);
  w.SetProgress(87);
  BoxAnswerer answerer("btn_yes");
  Click(w, "closebtn");
  EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgCancelInstall});
  EXPECT_FALSE(w.isVisible());
  const auto events = TakeEvents();
  bool close04 = false;
  for (const auto& e : events) close04 |= e.action == "Close" && e.label == "close04";
  EXPECT_TRUE(close04);
  EXPECT_TRUE(FunnelHas(events, "\"Md5Check\""));
  CloseAndJoin();  // the download under way ends; what was cancelled is not installed
  EXPECT_FALSE(fs::exists(InstallDir() + "/MarkEraser.exe"));
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
    MainWindowOptions options = Options();
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
    EXPECT_TRUE(WaitFor([&] { return answerer.Saw(12); }));
    CloseAndJoin();
  }
}
