// The collectors down or hanging for a whole install: the install worker
// waits on none of them beyond each request's own limit, and the install
// program exits.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdlib>

#include "EnumErrorCode.h"
#include "FlowErrors.h"
#include "InstallThreadFunc.h"
#include "SingleUserLog.h"
#include "platform/RegistryStore.h"
#include "support/LogCapture.h"
#include "support/RecordingInstallWindow.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTestProcess.h"
#include "support/StandInServer.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class CollectorsTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    static const bool initialised = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    (void)initialised;
    process_.RegistryRoot(dir_ / "registry");
    CSingleUserLog::GetInstance()->InitLogPath("markeraser_setup");
  }
  TempDir dir_;
  ScopedEnv state_{"XDG_STATE_HOME", dir_ / "state"};
  ScopedEnv cache_{"XDG_CACHE_HOME", dir_ / "cache"};
  ScopedTestProcess process_;
};

// Every round of a redirect loop sends an exception report straight from the
// worker: the only collector request the install itself waits for.
TEST_P(CollectorsTest, InstallWorkerEndsWhenTheExceptionCollectorHangsOrIsDown) {
  const bool hanging = GetParam();
  StandInServer collector;
  if (hanging) {
    collector.Stall("/api/exception/send");
  } else {
    collector.GoDown();
  }
  process_.ExceptionCollectorHost(collector.Url());
  TestHttpServer server;
  server.Redirect("/loop/a.exe", "/loop/b.exe");
  server.Redirect("/loop/b.exe", "/loop/a.exe");
  RecordingInstallWindow window(
      "<VerticalLayout><VerticalLayout name=\"Product_config\">"
      "<Label name=\"Software_version\" text=\"1.0.0.0\"/>"
      "</VerticalLayout></VerticalLayout>");
  window.config.status = CConfigure::kReady;
  window.config.source = CConfigure::kFromService;
  window.config.Software_version = "1.0.0.0";
  window.config.candidateUrls = {server.Url("/loop/a.exe")};
  window.installPath = dir_ / "install";
  InstallWorkerOptions options;
  options.rounds = 2;
  options.timings.probeRetryPauseMs = 1;
  options.timings.networkAlive = [] { return true; };
  LogCapture log;

  EXPECT_EQ(window.Run(options), -1);
  EXPECT_EQ(window.Messages(), (std::vector<std::pair<int, std::intptr_t>>{{kMsgDownloadFailed, TooManyRedirects}}));
  // Both reports were given up by the worker itself: a time-out against the
  // hanging collector, a refused connection against the one that is down.
  const std::string failed = " Send error report1, response is , return ";
  EXPECT_EQ(CountOf(log.Text(), failed), 2) << log.Text();
  EXPECT_EQ(CountOf(log.Text(), failed + "0"), 0);
  collector.ReleaseStalls();
}

INSTANTIATE_TEST_SUITE_P(HangingOrDown, CollectorsTest, ::testing::Bool());

#ifdef QM_INSTALL_EXE
// The install program of a test build, whose every collector is a closed
// loopback port, fails its download and exits on its own.
TEST(CollectorsDownTest, InstallProgramExitsWhenEveryCollectorIsDown) {
  TempDir dir;
  Subprocess install = Subprocess::Start(
      {QM_INSTALL_EXE, "--dir", dir / "install"},
      {"HOME=" + dir.path(), "XDG_STATE_HOME=" + (dir / "state"), "XDG_CACHE_HOME=" + (dir / "cache"),
       "XDG_DATA_HOME=" + (dir / "data"), "XDG_CONFIG_HOME=" + (dir / "config"),
       "XDG_RUNTIME_DIR=" + (dir / "run")},
      dir / "install.out");
  ASSERT_GT(install.pid, 0);
  EXPECT_EQ(install.Wait(240000), 1) << TempDir::ReadAbsolute(dir / "install.out");
  EXPECT_NE(TempDir::ReadAbsolute(dir / "install.out").find("install worker result -1"), std::string::npos);
}
#endif

}  // namespace
