// The real main window's answers to the worker's messages: the box each one
// shows, the end of the running state, and the CDN failure count of a CDN failure.
#include "CdnFailureCounter.h"
#include "Common/MessageBoxWnd.h"
#include "EnumErrorCode.h"
#include "InstallWindow.h"
#include "WindowTestSupport.h"

TEST_F(MainWindowTest, WorkerFailuresShowTheirBoxAndEndTheRunningState) {
  struct Case {
    int message;
    std::intptr_t wParam;
    int box;
  };
  const Case cases[] = {
      {kMsgDownloadFailed, NetworkDown, kMsgInternetFail},
      {kMsgDownloadFailed, NoProgress, kMsgInternetTimeout},
      {kMsgDownloadFailed, CdnFailed, kMsgInternetTimeout},
      {kMsgDownloadFailed, UrlEmpty, kMsgUrlFail},
      {kMsgInstallTimeout, 0, kMsgInstallRunTimeout},
      {kMsgSignatureFailed, 0, kMsgMd5Fail},
  };
  InstallUIMainWnd& w = Open();
  const std::string product = w.Config().Software_name;
  std::string before;
  GetRequestTooMuchTimes(product, before);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.message) + "/" + std::to_string(c.wParam));
    BoxAnswerer answerer("btn_yes");
    w.PostWorkerMessage(c.message, c.wParam);
    ASSERT_TRUE(WaitFor([&] { return answerer.Saw(c.box) && w.CloseMsgType() == kMsgPlain; }));
    EXPECT_EQ(answerer.Types(), std::vector<int>{c.box});
  }
  std::string after;
  ASSERT_TRUE(GetRequestTooMuchTimes(product, after));
  EXPECT_EQ(after, before.empty() || before == "0" ? "1" : std::to_string(std::stoi(before) + 1))
      << "only the CDN failure counts";
}

// 2945: the package is no installer; the bar ends at 100 without a box.
TEST_F(MainWindowTest, NotAnInstallerEndsOnTheFinishedPageWithoutABox) {
  InstallUIMainWnd& w = Open();
  BoxAnswerer answerer("btn_yes");
  w.PostWorkerMessage(kMsgNotInstaller, 0);
  ASSERT_TRUE(WaitFor([&] { return w.InstallProgressValue() == 100 && w.CloseMsgType() == kMsgPlain; }));
  EXPECT_TRUE(answerer.Types().empty());
}
