// The install worker end to end against loopback servers, with a recording
// window and the real signed demo setup programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "DownLoadImpl.h"
#include "FlowErrors.h"
#include "FuntionImpl.h"
#include "InstallThreadFunc.h"
#include "PackageSignature.h"
#include "SingleUserLog.h"
#include "platform/RegistryStore.h"
#include "support/LogCapture.h"
#include "support/RawHttpServer.h"
#include "support/RecordingInstallWindow.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTestProcess.h"
#include "support/StandInServer.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
#include "support/TestCa.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPackagePath = "/downloads/extra/markeraser_setup.exe";

std::string DemoPackage(const std::string& name) {
  return TempDir::ReadAbsolute(std::string(QM_DEMO_PACKAGES_DIR) + "/" + name);
}

std::string EmbeddedXml(const std::string& extraUrl) {
  return "<VerticalLayout><VerticalLayout name=\"Product_config\">"
         "<Label name=\"Extra_download_url\" text=\"" +
         extraUrl +
         "\"/>"
         "<Label name=\"Software_version\" text=\"1.0.0.0\"/>"
         "<Label name=\"product_url_english\" text=\"\"/>"
         "</VerticalLayout></VerticalLayout>";
}

class InstallWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    process_.RegistryRoot(dir_ / "registry");
    CSingleUserLog::GetInstance()->InitLogPath("markeraser_setup");
    CSingleUserLog::GetInstance()->TakeRecordedEvents();
    // The worker reports to this test's own recorder, which no other test
    // drains or fills.
    UserLogSettings settings;
    settings.withWebLog = false;
    settings.disabled = false;
    log_ = CSingleUserLog::CreateStandalone(settings);
    log_->InitLogPath("markeraser_setup");
    log_->TakeRecordedEvents();
    // Far below the program's limits, yet far above what a loaded machine
    // needs for a loopback transfer: a round that should succeed never times out.
    options_.timings.noProgressMs = 30000;
    options_.timings.rangeTimeoutMs = 30000;
    options_.timings.probeTimeoutMs = 30000;
    options_.timings.networkAlive = [] { return true; };
    options_.setupWaitUnit = std::chrono::milliseconds(100);
    options_.autoRunExitPauseMs = 0;
  }

  // A window whose configuration came from the service and points at url.
  std::unique_ptr<RecordingInstallWindow> Window(const std::string& url, const std::string& md5) {
    auto window = std::make_unique<RecordingInstallWindow>(EmbeddedXml(url));
    CConfigure& c = window->config;
    c.status = CConfigure::kReady;
    c.source = CConfigure::kFromService;
    c.Software_name = "Vantor Mark Eraser";
    c.Software_version = "1.0.0.0";
    c.Extra_download_url = url;
    c.candidateUrls = {url};
    c.Md5 = md5;
    c.InstallTimeout = 100;  // waits of 100 ms: ten seconds
    window->installPath = dir_ / "install";
    window->userLog = log_.get();
    return window;
  }

  std::string PackageFile() const { return log_->GetWorkDir() + "/markeraser_setup_1.0.0.0.exe"; }

  std::vector<std::string> Actions() {
    std::vector<std::string> actions;
    for (const auto& e : log_->TakeRecordedEvents()) {
      if (!e.category.empty()) actions.push_back(e.action + (e.label.empty() ? "" : ":" + e.label));
    }
    return actions;
  }

  TempDir dir_;
  ScopedEnv state_{"XDG_STATE_HOME", dir_ / "state"};
  ScopedEnv cache_{"XDG_CACHE_HOME", dir_ / "cache"};
  ScopedTestProcess process_;
  TestHttpServer server_;
  InstallWorkerOptions options_;
  std::unique_ptr<CSingleUserLog> log_;
};

bool Has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

TEST_F(InstallWorker, HappyPathInstallsAndCleansUp) {
  const std::string package = DemoPackage("markeraser_setup.exe");
  server_.ServeBytes(kPackagePath, package);
  auto window = Window(server_.Url(kPackagePath), GetMd5Hex(package));
  EXPECT_EQ(window->Run(options_), 0);
  EXPECT_EQ(window->MessageIds(), (std::vector<int>{kMsgVerifyStart, kMsgInstallStarted, kMsgInstalled}));
  EXPECT_TRUE(fs::exists(dir_ / "install/MarkEraser.exe"));
  for (const char* suffix : {"", ".xml", ".db"}) EXPECT_FALSE(fs::exists(PackageFile() + suffix)) << suffix;
  EXPECT_EQ(window->languageWrites, 1);
  EXPECT_TRUE(window->installFinished);
  EXPECT_EQ(window->AdviceUrl(), server_.Url(kPackagePath));
  const auto actions = Actions();
  const std::vector<std::string> steps = {"3.Downloading...:First", "4.DownFinsh:First", "5.ProgramInstall:First",
                                          "6.ProgramFinsh:First", "ProductVersion:1.0.0.0"};
  auto at = actions.begin();
  for (const std::string& step : steps) {
    at = std::find(at, actions.end(), step);
    EXPECT_NE(at, actions.end()) << step << " missing or out of order";
  }
  EXPECT_FALSE(Has(actions, "FlowError:DL013"));
  // The download engine reported to the worker's queue too.
  EXPECT_TRUE(std::any_of(actions.begin(), actions.end(),
                          [](const std::string& a) { return a.rfind("SliceDownloading", 0) == 0; }));
  // Nothing of this install reached the process's queue.
  for (const auto& e : CSingleUserLog::GetInstance()->TakeRecordedEvents()) {
    EXPECT_EQ(std::find(steps.begin(), steps.end(), e.action + ":" + e.label), steps.end()) << e.action;
    EXPECT_NE(e.action, "SliceDownloading");
  }
}

// A close means stop. Closed as verification starts: no setup program and no
// start. Closed as the setup program starts: it runs to its end, once, and
// nothing is started or opened after it.
TEST_F(InstallWorker, AWindowClosedDuringVerificationOrSetupStartsNothingNew) {
  const std::string package = DemoPackage("markeraser_setup.exe");
  server_.ServeBytes(kPackagePath, package);
  for (const int closeAt : {kMsgVerifyStart, kMsgInstallStarted}) {
    SCOPED_TRACE(closeAt);
    fs::remove_all(dir_ / "install");
    auto window = Window(server_.Url(kPackagePath), GetMd5Hex(package));
    window->needStart = 1;
    window->closeAtMessage = closeAt;
    Actions();
    window->Run(options_);
    const auto actions = Actions();
    EXPECT_EQ(window->startClicks, 0);
    EXPECT_TRUE(window->openedUrls.empty());
    const std::vector<int> ids = window->MessageIds();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), kMsgInstalled), 0);
    if (closeAt == kMsgVerifyStart) {
      EXPECT_FALSE(Has(actions, "5.ProgramInstall:First"));
      EXPECT_FALSE(fs::exists(dir_ / "install/MarkEraser.exe"));
    } else {
      EXPECT_EQ(std::count(actions.begin(), actions.end(), "5.ProgramInstall:First"), 1);
      EXPECT_TRUE(fs::exists(dir_ / "install/MarkEraser.exe")) << "the running setup program was left to finish";
    }
  }
}

// A close during the download stops the transfers at once, even ones a
// stalled server holds open far longer than the test waits, and keeps what
// was downloaded for the next run.
TEST_F(InstallWorker, AWindowClosedDuringTheDownloadStopsItsTransfers) {
  ServeOptions stall;
  stall.stallAfterBytes = 65536;
  auto server = std::make_unique<TestHttpServer>();  // its end releases held transfers
  server->ServeGenerated(kPackagePath, 8 << 20, stall);
  options_.timings.noProgressMs = 600000;
  options_.timings.rangeTimeoutMs = 600000;
  auto window = Window(server->Url(kPackagePath), GeneratedMd5(8 << 20));
  window->needStart = 1;
  window->closeOnProgress = true;
  std::atomic<bool> ended{false};
  std::thread worker([&] {
    window->Run(options_);
    ended = true;
  });
  const bool endedInTime = WaitUntil([&] { return ended.load(); });
  if (!endedInTime) server.reset();  // release the held transfers so the test can end
  worker.join();
  ASSERT_TRUE(endedInTime) << "the download went on after the close";
  const std::vector<int> ids = window->MessageIds();
  EXPECT_TRUE(ids.empty()) << "nothing is reported or started for a closed window";
  EXPECT_EQ(window->startClicks, 0);
  const auto actions = Actions();
  EXPECT_FALSE(Has(actions, "5.ProgramInstall:First"));
  EXPECT_FALSE(std::any_of(actions.begin(), actions.end(),
                           [](const std::string& a) { return a.rfind("FlowError:", 0) == 0; }));
  EXPECT_TRUE(fs::exists(PackageFile() + ".xml")) << "the task list is kept for the next run";
}

TEST_F(InstallWorker, NoServiceUrlEndsWithUrlEmpty) {
  auto window = Window("http://dl.example.com/markeraser_setup.exe", "");
  window->config.candidateUrls.clear();
  EXPECT_EQ(window->Run(options_), -1);
  EXPECT_EQ(window->Messages(), (std::vector<std::pair<int, std::intptr_t>>{{kMsgDownloadFailed, 14}}));
  EXPECT_EQ(window->config.status, CConfigure::kNotReady);
  EXPECT_TRUE(Has(Actions(), "FlowError:DL023"));
}

TEST_F(InstallWorker, EveryRoundFailsAndTheLastResultIsPosted) {
  server_.ServeBytes(kPackagePath, "", ServeOptions{.errorStatus = 404, .errorBody = "not here"});
  auto window = Window(server_.Url(kPackagePath), "");
  options_.timings.probeRetryPauseMs = 1;
  LogCapture log;
  EXPECT_EQ(window->Run(options_), -1);
  const auto messages = window->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, kMsgDownloadFailed);
  const auto actions = Actions();
  const std::string code = FlowErrorOfRound(static_cast<int>(messages[0].second));
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "FlowError:" + code), 12);
  EXPECT_NE(log.Text().find(" The Retry Frequency is: 11"), std::string::npos);
}

TEST_F(InstallWorker, VerifiedPackageIsReusedWithoutDownloading) {
  const std::string package = DemoPackage("markeraser_setup.exe");
  server_.ServeBytes(kPackagePath, package);
  const std::string md5 = GetMd5Hex(package);
  fs::create_directories(log_->GetWorkDir());
  {
    CDownLoadImpl impl(options_.timings, log_.get());
    std::string report;
    ASSERT_EQ(impl.SuperDownloadFile(server_.Url(kPackagePath), PackageFile(), report, true), Completed);
    ASSERT_TRUE(CDownLoadImpl::checkMD5(PackageFile(), md5, "", "1.0.0.0"));
  }
  const auto rangesBefore = server_.RangesAsked(kPackagePath).size();
  auto window = Window(server_.Url(kPackagePath), md5);
  EXPECT_EQ(window->Run(options_), 0);
  EXPECT_EQ(server_.RangesAsked(kPackagePath).size(), rangesBefore);

  // A marker of another version throws the package away.
  TempDir other;
  other.Write("p.exe", "x");
  other.Write("p.exe.xml", "x");
  other.Write("p.exe.db", "0.9.0.0###" + md5 + "\n");
  ApplyVerifiedMarker(other / "p.exe", window->config);
  for (const char* f : {"p.exe", "p.exe.xml", "p.exe.db"}) EXPECT_FALSE(fs::exists(other / f)) << f;
}

TEST_F(InstallWorker, Md5MismatchWithValidSignatureGoesOn) {
  StandInServer collector;
  collector.Answer("/api/exception/send", 200, "ok");
  ScopedTestProcess process;
  process.ExceptionCollectorHost(collector.Url());
  server_.ServeBytes(kPackagePath, DemoPackage("markeraser_setup.exe"));
  auto window = Window(server_.Url(kPackagePath), "0123456789abcdef0123456789abcdef");
  window->config.queryUrl = "https://api.x.com/queryDownloaderV2?LanguageId=1033&SoftWareID=127&SiteID=61";
  EXPECT_EQ(window->Run(options_), 0);
  EXPECT_TRUE(Has(Actions(), "FlowError:DL013"));
  EXPECT_TRUE(fs::exists(dir_ / "install/MarkEraser.exe"));
  const auto reports = collector.Received("/api/exception/send");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].body,
            "pid=127&type=2&exception_code=MD5_Check_Fail_Cfg1&other=https://api.x.com/queryDownloaderV2?"
            "LanguageId=1033&SoftWareID=127&SiteID=61," +
                server_.Url(kPackagePath));
}

TEST_F(InstallWorker, BadSignaturesStopBeforeAnythingRuns) {
  const std::string good = DemoPackage("markeraser_setup.exe");
  std::string flipped = good;
  flipped[4096] ^= 0x01;
  const std::string unsignedPackage = good.substr(0, good.size() - 4096);  // cut the signature away
  struct Case {
    const char* name;
    std::string bytes;
    bool md5Matches;
    const char* code;
  };
  const Case cases[] = {
      {"one byte flipped", flipped, false, "DL015"},
      {"unsigned, md5 right", unsignedPackage, true, "DL014"},
      {"appended data", good + "tail", false, "DL015"},
  };
  int n = 0;
  for (const Case& c : cases) {
    // A path of its own each: the process remembers a URL's length.
    const std::string path = "/case" + std::to_string(++n) + kPackagePath;
    server_.ServeBytes(path, c.bytes);
    auto window = Window(server_.Url(path), c.md5Matches ? GetMd5Hex(c.bytes) : GetMd5Hex(good));
    EXPECT_EQ(window->Run(options_), -1) << c.name;
    EXPECT_EQ(window->MessageIds(), (std::vector<int>{kMsgVerifyStart, kMsgSignatureFailed})) << c.name;
    EXPECT_TRUE(Has(Actions(), std::string("FlowError:") + c.code)) << c.name;
    EXPECT_FALSE(fs::exists(dir_ / "install/MarkEraser.exe")) << c.name;
    ClearAPPData(PackageFile());  // the next case downloads afresh
  }
}

// The bytes a signed package signs: everything before its signature.
std::string SignedPart(const std::string& package) {
  const std::string info = package.substr(package.size() - 28 - 12, 12);
  std::size_t sigSize = 0;
  for (int i = 8; i < 12; ++i) sigSize = (sigSize << 8) | static_cast<unsigned char>(info[i]);
  return package.substr(0, package.size() - 28 - 12 - sigSize);
}

TEST_F(InstallWorker, SignatureFromACaTheSystemTrustsIsNotThePublishers) {
  // The demo setup program re-signed with a code-signing certificate that a
  // CA of the system store issued to someone else.
  TestCa publicCa(dir_.path(), "public");
  std::string cert, key, error;
  ASSERT_TRUE(publicCa.IssueCodeSigningCert("vendor", cert, key));
  const ScopedEnv systemStore("SSL_CERT_FILE", publicCa.CertFile());
  dir_.Write("resigned.exe", SignedPart(DemoPackage("markeraser_setup.exe")));
  ASSERT_TRUE(signature::SignFile(dir_ / "resigned.exe", key, cert, dir_ / "resigned.exe", error)) << error;
  const std::string resigned = dir_.Read("resigned.exe");
  for (const bool md5Matches : {true, false}) {
    LogCapture log;
    const std::string path = std::string("/public-ca-") + (md5Matches ? "md5" : "nomd5") + kPackagePath;
    server_.ServeBytes(path, resigned);
    auto window = Window(server_.Url(path), md5Matches ? GetMd5Hex(resigned) : GetMd5Hex("other"));
    EXPECT_EQ(window->Run(options_), -1);
    EXPECT_EQ(window->MessageIds(), (std::vector<int>{kMsgVerifyStart, kMsgSignatureFailed}));
    EXPECT_TRUE(Has(Actions(), md5Matches ? "FlowError:DL014" : "FlowError:DL015"));
    EXPECT_NE(log.Text().find(" VerifyEmbeddedSignature result is -2146762748, The signature is present, but not trusted."),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "install/MarkEraser.exe"));
    ClearAPPData(PackageFile());
  }
}

TEST_F(InstallWorker, SetupTimeOutAndSetupErrors) {
  const std::string slow = DemoPackage("markeraser_setup_slow.exe");
  server_.ServeBytes(kPackagePath, slow);
  auto window = Window(server_.Url(kPackagePath), GetMd5Hex(slow));
  window->config.InstallTimeout = 3;
  EXPECT_EQ(window->Run(options_), -1);
  EXPECT_EQ(window->MessageIds(), (std::vector<int>{kMsgVerifyStart, kMsgInstallStarted, kMsgInstallTimeout}));
  EXPECT_TRUE(Has(Actions(), "FlowError:DL016"));
  // The timed-out setup program is left running by design; end it here.
  EXPECT_EQ(KillChildrenNamed("markeraser_setup_1.0.0.0.exe"), 1);

  const std::string failing = DemoPackage("markeraser_setup_fail.exe");
  server_.ServeBytes(kPackagePath, failing);
  auto second = Window(server_.Url(kPackagePath), GetMd5Hex(failing));
  EXPECT_EQ(second->Run(options_), 0);  // an error exit counts as finished
  EXPECT_EQ(second->MessageIds().back(), kMsgInstalled);
}

TEST_F(InstallWorker, NonInstallerPackageIsOnlyDownloaded) {
  server_.ServeBytes("/downloads/extra/markeraser.zip", std::string(2 << 20, 'z'));
  auto window = Window(server_.Url("/downloads/extra/markeraser.zip"), "");
  EXPECT_EQ(window->Run(options_), 1);
  EXPECT_EQ(window->MessageIds(), (std::vector<int>{kMsgNotInstaller}));
}

TEST_F(InstallWorker, LegacySystemsFallBackWhenThePackageIsGone) {
  // "/old_vtwin.exe" is not served at all: every request gets 404.
  server_.ServeBytes(kPackagePath, "", ServeOptions{.errorStatus = 404, .errorBody = "gone"});
  auto window = Window(server_.Url(kPackagePath), "");
  window->config.candidateUrls = {server_.Url("/old_vtwin.exe")};
  options_.osVersion = 8.0f;
  options_.rounds = 1;
  LogCapture log;
  window->Run(options_);
  EXPECT_NE(log.Text().find(" UrlUsed change to: " + server_.Url(kPackagePath)), std::string::npos) << log.Text();
  EXPECT_EQ(window->AdviceUrl(), server_.Url(kPackagePath));
}

TEST_F(InstallWorker, EmbeddedConfigurationDownloadsAfreshWithoutMd5) {
  const std::string package = DemoPackage("markeraser_setup.exe");
  server_.ServeBytes(kPackagePath, package);
  auto window = Window(server_.Url(kPackagePath), "not the digest");
  window->config.source = CConfigure::kFromFile;
  // A complete package with a matching marker is still thrown away.
  fs::create_directories(log_->GetWorkDir());
  {
    CDownLoadImpl impl(options_.timings, log_.get());
    std::string report;
    ASSERT_EQ(impl.SuperDownloadFile(server_.Url(kPackagePath), PackageFile(), report, true), Completed);
  }
  const auto rangesBefore = server_.RangesAsked(kPackagePath).size();
  LogCapture log;
  EXPECT_EQ(window->Run(options_), 0);
  EXPECT_GT(server_.RangesAsked(kPackagePath).size(), rangesBefore);
  EXPECT_NE(log.Text().find(" Configure Load From File, clearAppData Before Download! "), std::string::npos);
  EXPECT_FALSE(Has(Actions(), "FlowError:DL013"));
}

TEST_F(InstallWorker, SuccessInTheThirdRoundAfterTwoFailedOnes) {
  const std::string package = DemoPackage("markeraser_setup.exe");
  server_.ServeBytes(kPackagePath, package, ServeOptions{.errorStatus = 500, .errorBody = "busy"});
  auto window = Window(server_.Url(kPackagePath), GetMd5Hex(package));
  options_.timings.noProgressMs = 2500;  // ends each failing round
  options_.timings.retryPauseMs = 50;
  LogCapture log;
  // The server recovers once the third round has begun.
  std::atomic<bool> done{false};
  std::thread recovery([&] {
    WaitUntil([&] { return done || log.Text().find(" Tasks info, round begin, current = 3") != std::string::npos; });
    server_.SetOptions(kPackagePath, ServeOptions{});
  });
  const int result = window->Run(options_);
  done = true;
  recovery.join();
  EXPECT_EQ(result, 0);
  EXPECT_NE(log.Text().find("Success，The Retry Frequency is: 2"), std::string::npos);
  const auto actions = Actions();
  EXPECT_EQ(std::count_if(actions.begin(), actions.end(),
                          [](const std::string& a) { return a.rfind("FlowError:", 0) == 0; }),
            2);
}

TEST_F(InstallWorker, ServerWhoseLengthKeepsChangingIsGivenUpAfterTwoRounds) {
  const std::string package = DemoPackage("markeraser_setup.exe");
  // Every range reply claims another total than the probe learnt.
  server_.ServeBytes(kPackagePath, package, ServeOptions{.claimedTotal = static_cast<std::int64_t>(package.size()) + 1});
  auto window = Window(server_.Url(kPackagePath), GetMd5Hex(package));
  LogCapture log;
  EXPECT_EQ(window->Run(options_), -1);
  EXPECT_NE(log.Text().find(" Tasks info, round begin, current = 2"), std::string::npos);
  EXPECT_EQ(log.Text().find(" Tasks info, round begin, current = 3"), std::string::npos);
  EXPECT_EQ(window->Messages(), (std::vector<std::pair<int, std::intptr_t>>{{kMsgDownloadFailed, RemoteChanged}}));
  const auto actions = Actions();
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "FlowError:DL017"), 2);
  EXPECT_LE(server_.GetCount(kPackagePath) + server_.HeadCount(kPackagePath), 80);
}

// A server that trickles its headers for ever makes no progress in any
// round: the install gives up once nothing arrived for its stall limit
// instead of spending all twelve rounds.
TEST_F(InstallWorker, NoProgressAcrossRoundsEndsTheInstallAtItsStallLimit) {
  RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 1048576", "", 0);
  server.TrickleHeadForEver(400);
  auto window = Window(server.Url("/markeraser_setup.exe"), "");
  options_.timings.probeTimeoutMs = 1500;
  options_.timings.probeBudgetMs = 1000;
  options_.timings.installStallMs = 2500;
  LogCapture log;
  EXPECT_EQ(window->Run(options_), -1);
  EXPECT_NE(log.Text().find("no download progress for"), std::string::npos);
  // Each round probes at least 1.5 s: the limit ends the install after two.
  EXPECT_EQ(log.Text().find(" Tasks info, round begin, current = 3"), std::string::npos);
  EXPECT_EQ(window->Messages(), (std::vector<std::pair<int, std::intptr_t>>{{kMsgDownloadFailed, GetLengthFailed}}));
}

TEST_F(InstallWorker, RedirectLoopSendsItsExceptionReportEachRound) {
  StandInServer collector;
  collector.Answer("/api/exception/send", 200, "ok");
  ScopedTestProcess process;
  process.ExceptionCollectorHost(collector.Url());
  server_.Redirect("/loop/a.exe", "/loop/b.exe");
  server_.Redirect("/loop/b.exe", "/loop/a.exe");
  auto window = Window(server_.Url("/loop/a.exe"), "");
  window->config.queryUrl = "https://api.x.com/queryDownloaderV2?LanguageId=1033";
  options_.rounds = 2;
  options_.timings.probeRetryPauseMs = 1;
  EXPECT_EQ(window->Run(options_), -1);
  EXPECT_EQ(window->Messages(), (std::vector<std::pair<int, std::intptr_t>>{{kMsgDownloadFailed, TooManyRedirects}}));
  const auto actions = Actions();
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "FlowError:DL022"), 2);
  const auto reports = collector.Received("/api/exception/send");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].body,
            "pid=127&type=2&exception_code=Url_Too_Many_Redirects&other="
            "https://api.x.com/queryDownloaderV2?LanguageId=1033," +
                server_.Url("/loop/a.exe"));
}
