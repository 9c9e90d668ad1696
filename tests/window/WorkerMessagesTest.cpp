// The real main window's answers to the worker's messages: the box each one
// shows, the end of the running state, and the CDN failure count of a CDN failure.
#include <QBuffer>
#include <QImage>
#include <filesystem>
#include <fstream>

#include "BuildSettings.h"
#include "CdnFailureCounter.h"
#include "Common/CAnima.h"
#include "Common/MessageBoxWnd.h"
#include "EnumErrorCode.h"
#include "FuntionImpl_Banner.h"
#include "InstallWindow.h"
#include "UrlRules.h"
#include "WindowTestSupport.h"
#include "ui/ControlOps.h"
#include "ui/ImageCache.h"

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
  const std::string product = w.Handshake().config.Software_name;
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

namespace {

constexpr const char* kBannerList = "/api/v1/banners";

std::string SolidPng(QColor colour) {
  QImage image(CAnima::kPictureWidth, CAnima::kPictureHeight, QImage::Format_ARGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

QRgb MiddleOf(const QString& cached) {
  const QImage image = ui::ImageCache::Instance().Get(cached);
  return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
}

// The banner service of a test: the list and its pictures on the test's
// loopback server, for as long as the object lives.
class BannerService {
 public:
  BannerService(TestHttpServer& server, const std::vector<QColor>& colours) {
    std::string list = "[";
    for (std::size_t i = 0; i < colours.size(); ++i) {
      const std::string path = "/banners/" + std::to_string(i + 1) + ".png";
      server.ServeBytes(path, SolidPng(colours[i]));
      if (i > 0) list += ",";
      list += R"({"banner_url":")" + server.Url(path) + R"(","jump_url":"https://x/j","prompt":"p","sort":)" +
              std::to_string(i + 1) + "}";
    }
    server.ServeBytes(kBannerList, list + "]");
    const std::string host = server.Url("");
    process_.Banners({host, host});
  }

 private:
  ScopedTestProcess process_;
};

}  // namespace

// 2952: the banner thread's pictures replace the carousel's built-in ones on
// the real window; a retry after a failed download fetches no banners again
// and its new carousel still shows the downloaded ones.
TEST_F(MainWindowTest, DownloadedBannersReachTheCarouselOnceAndARetryFetchesNoMore) {
  const QColor first(12, 34, 56);
  BannerService banners(server_, {first, QColor(200, 100, 50)});
  server_.ServeBytes(kPackagePath, "", ServeOptions{.errorStatus = 404, .errorBody = "not here"});
  InstallUIMainWnd& w = Open();
  BoxAnswerer answerer;
  const auto failed = [&] { return ui::IsVisible(w.FindControl("img_warning")) && w.CloseMsgType() == kMsgPlain; };
  Click(w, "install_btn");
  ASSERT_TRUE(WaitFor([&] { return MiddleOf("FirstFrame") == first.rgb(); })) << "the carousel kept its pictures";
  ASSERT_TRUE(WaitFor(failed));
  EXPECT_EQ(server_.GetCount(kBannerList), 1);
  const int picturesFetched = server_.GetCount("/banners/1.png");

  Click(w, "start_app");
  ASSERT_TRUE(WaitFor(failed));
  EXPECT_EQ(server_.GetCount(kBannerList), 1) << "a second banner fetch started";
  EXPECT_EQ(server_.GetCount("/banners/1.png"), picturesFetched);
  EXPECT_EQ(MiddleOf("FirstFrame"), first.rgb());
}

// A verification box (types 6 and 7) posts 2943 to the real window, which
// discards the cached package; other boxes leave it.
TEST_F(MainWindowTest, VerificationBoxesClearTheCachedDownload) {
  struct Case {
    int message;
    std::intptr_t wParam;
    const char* button;
    bool cleared;
  };
  const Case cases[] = {
      {kMsgSignatureFailed, 0, "btn_yes", true},
      {kMsgInstallTimeout, 0, "closebtn", true},
      {kMsgDownloadFailed, UrlEmpty, "btn_yes", false},
  };
  InstallUIMainWnd& w = Open();
  const std::string package = CSingleUserLog::GetInstance()->GetWorkDir() + "/" +
                              InstallerFileNameFor(PackageUrl(), w.Handshake().config.Software_version);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.message) + " " + c.button);
    for (const char* suffix : {"", ".xml", ".db"}) std::ofstream(package + suffix) << "cached";
    BoxAnswerer answerer(c.button);
    w.PostWorkerMessage(c.message, c.wParam);
    ASSERT_TRUE(WaitFor([&] { return answerer.Types().size() == 1 && w.CloseMsgType() == kMsgPlain; }));
    QCoreApplication::sendPostedEvents(&w);  // a 2943 the box posted is handled now
    for (const char* suffix : {"", ".xml", ".db"}) {
      EXPECT_EQ(std::filesystem::exists(package + suffix), !c.cleared) << suffix;
      std::filesystem::remove(package + suffix);
    }
  }
}
