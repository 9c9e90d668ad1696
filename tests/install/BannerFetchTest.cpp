// The banner service request and the banner thread's fetch against a
// loopback banner service.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

#include "BannerFetch.h"
#include "BuildSettings.h"
#include "FuntionImpl.h"
#include "FuntionImpl_Banner.h"
#include "LanguageTables.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "support/LogCapture.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"

namespace {

constexpr const char* kSalt = "Tz8wKd3PqYn6mV1c";

// Stands where the window would: "loads" a picture when the file holds the
// bytes the server sent for it, keeps the records, counts the ready calls.
class RecordingSink : public IBannerSink {
 public:
  bool LoadBannerPicture(const std::string& path) override {
    std::lock_guard<std::mutex> lock(mutex);
    loads.push_back(path);
    return TempDir::ReadAbsolute(path).rfind("PIC", 0) == 0;
  }
  void StoreBanner(const BannerRecord& record) override {
    std::lock_guard<std::mutex> lock(mutex);
    banners[record.sort] = record;
  }
  void BannerReady() override { ++ready; }

  std::mutex mutex;
  std::vector<std::string> loads;
  std::map<int, BannerRecord> banners;
  int ready = 0;
};

std::string Query(const std::string& url, const std::string& key) {
  const std::regex pattern("[?&]" + key + "=([^&]*)");
  std::smatch match;
  return std::regex_search(url, match, pattern) ? match[1].str() : std::string();
}

class BannerFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CSingleUserLog::GetInstance()->TakeRecordedEvents();
    settings_.timings.networkAlive = [] { return true; };
    settings_.timings.probeRetryPauseMs = 10;
    settings_.timings.retryPauseMs = 10;
    settings_.timings.noProgressMs = 1500;  // a failing picture gives up sooner
    settings_.retryPauseMs = 10;
  }

  std::string List(const std::vector<std::pair<std::string, int>>& pictures) {
    std::string json = "[";
    for (const auto& [path, sort] : pictures) {
      if (json.size() > 1) json += ",";
      json += R"({"banner_url":")" + server_.Url(path) + R"(","jump_url":"https://x/j","prompt":"p","sort":)" +
              std::to_string(sort) + "}";
    }
    return json + "]";
  }

  TestHttpServer server_;
  TempDir work_;
  RecordingSink sink_;
  BannerFetchSettings settings_;
};

}  // namespace

TEST(BannerRequest, JapaneseSignTextAndVerify) {
  EXPECT_EQ(BannerSignText("ja", 2739, 1700000000),
            std::string("lang_code=ja&parent_pid=2739&timestamp=1700000000&type=1") + kSalt);
  EXPECT_EQ(BannerPicUrlAt("https://b.example", 2739, kLangJapanese, 1700000000),
            "https://b.example/api/v1/banners?lang_code=ja&parent_pid=2739&timestamp=1700000000&type=1"
            "&verify=9e2f2644491c3a9452c24a9d04108b04");
}

TEST(BannerRequest, UrlOfNowIsSignedAndLogged) {
  TempDir dir;
  ScopedTestProcess process;
  process.SettingsFile(dir / "qm_downloader.cfg").Banners({"https://prod.example", "https://test.example"});
  LogCapture log;
  const std::time_t before = std::time(nullptr);
  const std::string url = FuntionImpl::GetBannerPicUrl(2739, kLangJapanese);
  const std::string t = Query(url, "timestamp");
  EXPECT_EQ(url.rfind("https://prod.example/api/v1/banners?lang_code=ja&parent_pid=2739&timestamp=", 0), 0u) << url;
  EXPECT_GE(std::stoll(t), before);
  const std::string sign = "lang_code=ja&parent_pid=2739&timestamp=" + t + "&type=1" + kSalt;
  EXPECT_EQ(Query(url, "verify"), GetMd5Hex(sign));
  EXPECT_NE(log.Text().find(" BAN: lang_code=ja&parent_pid=2739&timestamp=" + t + "&type=1&verify=" + GetMd5Hex(sign)),
            std::string::npos)
      << log.Text();

  dir.Write("qm_downloader.cfg", "[Settings]\nTestEnv=1\n");
  EXPECT_EQ(FuntionImpl::GetBannerPicUrl(1, 0).rfind("https://test.example/api/v1/banners?", 0), 0u);
}

TEST(BannerRequest, LanguageCodes) {
  const std::pair<int, const char*> rows[] = {
      {kLangEnglish, "en"},
      {kLangJapanese, "ja"},
      {kLangChineseTrad, "zh-tw"},
      {kLangCzech, "cz"},
      {-1, "en"},
      {20, "en"},
      {999, "en"},
  };
  for (const auto& [language, code] : rows) {
    EXPECT_EQ(Query(BannerPicUrlAt("h", 5, language, 1), "lang_code"), code) << language;
  }
}

TEST(BannerRequest, TimeBuckets) {
  const std::pair<std::int64_t, const char*> rows[] = {
      {0, "[0~3]s"},
      {2, "[0~3]s"},
      {3, "[3~6]s"},
      {4, "[3~6]s"},
      {7, "[6~9]s"},
      {61, "[60~63]s"},
      {-5, "[0~3]s"},
  };
  for (const auto& [seconds, text] : rows) EXPECT_EQ(TimeBucketText(seconds), text) << seconds;
}

TEST(BannerRequest, PicturePathStaysInTheWorkFolder) {
  const std::pair<const char*, const char*> rows[] = {
      {"https://h/a/b.png", "/w/2.png"},
      {"https://h/a/b.jpg?v=3", "/w/2.jpg?v=3"},
      {"https://h.com/pic", ""},              // ".com/pic": a separator
      {"https://h/x.png\\..\\..\\evil", ""},  // backslash
      {"https://h/x./", ""},
      {"https://h/x.", ""},
      {"https://h/x.p\nng", ""},
      {"nodot", "/w/2"},
  };
  for (const auto& [url, path] : rows) EXPECT_EQ(BannerPicturePath("/w/", 2, url), path) << url;
  EXPECT_EQ(BannerPicturePath("/w", 4, "https://h/a.png"), "/w/4.png");
}

TEST(BannerRequest, ReplyRules) {
  std::vector<BannerRecord> banners;
  LogCapture log;
  EXPECT_TRUE(ParseBannerReply(R"([{"banner_url":"u","jump_url":"j","prompt":"p","sort":2},{"sort":"x"},7])", 1 << 20,
                               banners));
  ASSERT_EQ(banners.size(), 3u);
  EXPECT_EQ(banners[0].bannerUrl, "u");
  EXPECT_EQ(banners[0].jumpUrl, "j");
  EXPECT_EQ(banners[0].sort, 2);
  EXPECT_EQ(banners[1].sort, -1);
  EXPECT_TRUE(banners[2].bannerUrl.empty());

  EXPECT_FALSE(ParseBannerReply(R"({"code":500,"msg":"down"})", 1 << 20, banners));
  EXPECT_NE(log.Text().find(R"( Get Cbs Ban fail: {"code":500,"msg":"down"})"), std::string::npos) << log.Text();
  EXPECT_FALSE(ParseBannerReply(R"({"code":"200"})", 1 << 20, banners));
  EXPECT_FALSE(ParseBannerReply(R"([{"banner_url":"u","code":200}])", 1 << 20, banners));  // not the top level
  EXPECT_TRUE(ParseBannerReply(R"({"code":200,"data":[{"banner_url":"u"}]})", 1 << 20, banners));
  EXPECT_TRUE(banners.empty());  // an object lists nothing
  EXPECT_FALSE(ParseBannerReply("<html>busy</html>", 1 << 20, banners));
  EXPECT_NE(log.Text().find(" Get Cbs Ban2: 0, "), std::string::npos);
  EXPECT_FALSE(ParseBannerReply(std::string(2000, ' ') + "[]", 1000, banners));
  EXPECT_FALSE(ParseBannerReply(std::string(5000, '['), 1 << 20, banners));
}

TEST_F(BannerFetchTest, EveryPictureLoadedTellsTheWindow) {
  for (int i = 1; i <= 3; ++i) server_.ServeBytes("/pics/" + std::to_string(i) + ".png", "PIC" + std::to_string(i));
  server_.ServeBytes("/api/v1/banners", List({{"/pics/1.png", 1}, {"/pics/2.png", 2}, {"/pics/3.png", 3}}));
  LogCapture log;
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners?lang_code=en"), work_.path()), 3);
  EXPECT_EQ(sink_.ready, 1);
  ASSERT_EQ(sink_.banners.size(), 3u);
  EXPECT_EQ(sink_.banners[2].localPath, work_ / "2.png");
  EXPECT_EQ(work_.Read("2.png"), "PIC2");
  EXPECT_EQ(sink_.banners[3].jumpUrl, "https://x/j");
  EXPECT_NE(log.Text().find(" Get Banner success"), std::string::npos);
  EXPECT_NE(log.Text().find(" Get Cbs Ban 3 Success"), std::string::npos);
}

TEST_F(BannerFetchTest, TelemetryCarriesTimeBuckets) {
  server_.ServeBytes("/pics/1.png", "PIC1");
  server_.ServeBytes("/api/v1/banners", List({{"/pics/1.png", 1}}));
  CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path());
  std::vector<std::string> list, pictures;
  for (const auto& e : CSingleUserLog::GetInstance()->TakeRecordedEvents()) {
    if (e.action == "ObtainCarouselMapTime") list.push_back(e.label + e.body);
    if (e.action == "DownloadCarouselImagesTime") pictures.push_back(e.label + e.body);
  }
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_NE(list[0].find("CarouselMapTimeInterval"), std::string::npos) << list[0];
  EXPECT_NE(list[0].find("[0~3]s"), std::string::npos) << list[0];
  EXPECT_NE(pictures[0].find("DownloadCarouselImagesTimeInterval"), std::string::npos) << pictures[0];
}

TEST_F(BannerFetchTest, SecondPictureFailingThreeTimesKeepsTheBuiltInPictures) {
  server_.ServeBytes("/pics/1.png", "PIC1");
  ServeOptions failing;
  failing.errorStatus = 404;
  failing.errorBody = "gone";
  server_.ServeBytes("/pics/2.png", "PIC2", failing);
  server_.ServeBytes("/pics/3.png", "PIC3");
  server_.ServeBytes("/api/v1/banners", List({{"/pics/1.png", 1}, {"/pics/2.png", 2}, {"/pics/3.png", 3}}));
  LogCapture log;
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()), 2);
  EXPECT_EQ(sink_.ready, 0);
  EXPECT_EQ(work_.Read("1.png"), "PIC1");
  EXPECT_EQ(work_.Read("3.png"), "PIC3");
  EXPECT_EQ(sink_.banners.count(2), 0u);
  EXPECT_NE(log.Text().find(" Get Cbs Ban4: 1/3, 3/3"), std::string::npos) << log.Text();
  EXPECT_EQ(log.Text().find(" Get Banner success"), std::string::npos);
}

TEST_F(BannerFetchTest, RefusedRepliesEndTheFetch) {
  struct Row {
    const char* name;
    std::string body;
    int status;
    const char* logged;
  };
  const Row rows[] = {
      {"code 500", R"({"code":500,"msg":"maintenance"})", 0, R"( Get Cbs Ban fail: {"code":500,"msg":"maintenance"})"},
      {"unparsable", "<html>oops</html>", 0, " Get Cbs Ban2: 0, "},
      {"server error page", "busy", 500, " Get Cbs Ban2: 0, "},
      {"empty list", "[]", 0, " Get Cbs Ban2: 1, 0"},
  };
  for (const Row& row : rows) {
    ServeOptions options;
    options.errorStatus = row.status;
    options.errorBody = row.body;
    server_.ServeBytes("/api/v1/banners", row.body, options);
    LogCapture log;
    EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()), 0) << row.name;
    EXPECT_EQ(sink_.ready, 0) << row.name;
    EXPECT_NE(log.Text().find(row.logged), std::string::npos) << row.name << "\n"
                                                              << log.Text();
  }
  EXPECT_TRUE(std::filesystem::is_empty(work_.path()));
}

TEST_F(BannerFetchTest, EmptyBannerUrlAndNoServiceKeepTheBuiltInPictures) {
  server_.ServeBytes("/pics/1.png", "PIC1");
  server_.ServeBytes("/api/v1/banners", R"([{"banner_url":")" + server_.Url("/pics/1.png") +
                                            R"(","sort":1},{"banner_url":"","sort":2}])");
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()), 1);
  EXPECT_EQ(sink_.ready, 0);

  LogCapture log;
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run("http://127.0.0.1:9/api/v1/banners", work_.path()), 0);
  EXPECT_NE(log.Text().find(" Get Cbs Ban1: 3, "), std::string::npos) << log.Text();
}

TEST_F(BannerFetchTest, PictureThatCannotBeLoadedIsTriedAgain) {
  server_.ServeBytes("/pics/1.png", "not a picture");
  server_.ServeBytes("/api/v1/banners", List({{"/pics/1.png", 1}}));
  LogCapture log;
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()), 0);
  EXPECT_EQ(sink_.loads.size(), 3u);
  EXPECT_NE(log.Text().find(" Get Cbs Ban 0 Fail"), std::string::npos);
  EXPECT_EQ(sink_.ready, 0);
}

TEST_F(BannerFetchTest, ServerGivenExtensionNeverLeavesTheFolder) {
  server_.ServeBytes("/api/v1/banners", R"([{"banner_url":"http://127.0.0.1:)" + std::to_string(server_.port()) +
                                            R"(/x.png/../../../../tmp/evil","sort":1}])");
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()), 0);
  EXPECT_TRUE(sink_.loads.empty());
  EXPECT_TRUE(std::filesystem::is_empty(work_.path()));
}

// A "picture" whose probed length is 50 GiB is refused before a byte of it is
// fetched: a failed picture, nothing kept.
TEST_F(BannerFetchTest, PictureProbedOverTheLimitIsRefused) {
  server_.ServeGenerated("/pics/huge.png", std::int64_t{50} << 30);
  server_.ServeBytes("/api/v1/banners", List({{"/pics/huge.png", 1}}));
  LogCapture log;
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()), 0);
  EXPECT_EQ(sink_.ready, 0);
  EXPECT_TRUE(sink_.banners.empty());
  EXPECT_NE(log.Text().find("over the limit"), std::string::npos) << log.Text();
  std::error_code ec;
  const auto size = std::filesystem::file_size(work_ / "1.png", ec);
  EXPECT_TRUE(ec || size == 0) << size;
}

// Closing the window stops a picture download in progress and starts no
// other fetch.
TEST_F(BannerFetchTest, CancelStopsTheDownloadInProgressAndStartsNoOther) {
  ServeOptions trickle;
  trickle.bytesPerSecond = 4096;
  server_.ServeGenerated("/pics/1.png", 1 << 20, trickle);
  settings_.timings.rangeTimeoutMs = 3000;  // the transfer in flight ends sooner
  server_.ServeBytes("/pics/2.png", "PIC2");
  server_.ServeBytes("/api/v1/banners", List({{"/pics/1.png", 1}, {"/pics/2.png", 2}}));
  int loaded = -1;
  std::thread fetching([&] { loaded = CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()); });
  ASSERT_TRUE(WaitUntil([&] { return server_.GetCount("/pics/1.png") > 0; }));
  const auto cancelled = std::chrono::steady_clock::now();
  settings_.cancel->store(true);
  fetching.join();
  const auto stopMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - cancelled).count();
  RecordProperty("StopAfterCancelMs", static_cast<int>(stopMs));
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(server_.GetCount("/pics/2.png"), 0);
  EXPECT_EQ(sink_.ready, 0);

  // A fetch begun after the close asks for nothing.
  const int listed = server_.GetCount("/api/v1/banners");
  EXPECT_EQ(CBannerFetch(sink_, settings_).Run(server_.Url("/api/v1/banners"), work_.path()), 0);
  EXPECT_EQ(server_.GetCount("/api/v1/banners"), listed);
}
