#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "BuildSettings.h"
#include "ConfigurationService.h"
#include "EmbeddedConfig.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "support/LogCapture.h"
#include "support/PeakMemoryGrowth.h"
#include "support/RawHttpServer.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

const char* kReply =
    "garbage before <Downloader><Downloader_id>127</Downloader_id><Site_id>61</Site_id>"
    "<Software_version>2.0.0.0</Software_version><Md5>abc</Md5>"
    "<Extra_download_url>https://www.x.com/downloads/extra/markeraser_setup.exe</Extra_download_url>"
    "</Downloader> and after";

const char* kEmbedded =
    "<VerticalLayout><VerticalLayout name=\"Product_config\">"
    "<Label name=\"Downloader_id\" text=\"127\"/><Label name=\"Site_id\" text=\"61\"/>"
    "<Label name=\"Software_version\" text=\"1.0.0.0\"/>"
    "<Label name=\"Extra_download_url\" text=\"https://www.x.com/downloads/extra/markeraser_setup.exe\"/>"
    "</VerticalLayout></VerticalLayout>";

constexpr const char* kDown = "http://127.0.0.1:1";

class ConfigurationService : public ::testing::Test {
 protected:
  void SetUp() override {
    CSingleUserLog::GetInstance()->TakeRecordedEvents();
    process_.SettingsFile(dir_ / "qm_downloader.cfg");
  }
  std::string Base(const TestHttpServer& server) { return server.Url(""); }

  std::vector<std::string> Actions() {
    std::vector<std::string> actions;
    for (const auto& e : CSingleUserLog::GetInstance()->TakeRecordedEvents()) actions.push_back(e.action + ":" + e.label);
    return actions;
  }

  TempDir dir_;
  ScopedTestProcess process_;
  CConfigure config_{127, 1033, 61};
  std::atomic<bool> abandoned_{false};
  EmbeddedConfigItems embedded_{kEmbedded};
};

}  // namespace

TEST(ConfigurationQuery, UrlAndElementRules) {
  EXPECT_EQ(BuildQueryUrl("https://a.b", 1033, 127, 61, 10.0f),
            "https://a.b/queryDownloaderV2?LanguageId=1033&SoftWareID=127&SiteID=61");
  EXPECT_EQ(BuildQueryUrl("https://a.b", 1041, 118, 2, 8.1f),
            "https://a.b/queryDownloaderV2?LanguageId=1041&SoftWareID=118&SiteID=2&package_type=5");
  EXPECT_EQ(ExtractDownloaderElement("x<Downloader></Downloader>y"), "<Downloader></Downloader>");
  EXPECT_EQ(ExtractDownloaderElement("<Downloader><a>1</a>"), "");
  EXPECT_EQ(ExtractDownloaderElement("<html>error</html>"), "");
}

TEST_F(ConfigurationService, PrimaryAnswersOnceAndTheReplyIsKept) {
  TestHttpServer primary;
  primary.ServeBytes("/queryDownloaderV2", kReply);
  process_.ConfigService({Base(primary), kDown, kDown});
  LogCapture log;
  MakeConfigurationReady(config_, abandoned_, embedded_);
  EXPECT_TRUE(abandoned_);
  EXPECT_EQ(config_.source, CConfigure::kFromService);
  EXPECT_EQ(config_.Software_version, "2.0.0.0");
  EXPECT_EQ(config_.getQueryUrl(), Base(primary) + "/queryDownloaderV2?LanguageId=1033&SoftWareID=127&SiteID=61");
  EXPECT_NE(log.Text().find(" GetCbsInfo New interface V2(Sync com): 0, "), std::string::npos) << log.Text();
  EXPECT_NE(log.Text().find(" Configure Load From XML! "), std::string::npos);
  const auto actions = Actions();
  ASSERT_EQ(actions.size(), 2u);
  // Whole seconds the query took, within the query's 5 s limit (a loaded
  // machine may take a second or more).
  ASSERT_TRUE(actions[0].starts_with("SyncGetCbsTime:")) << actions[0];
  EXPECT_LT(std::stoi(actions[0].substr(actions[0].find(':') + 1)), 5) << actions[0];
  EXPECT_EQ(actions[1], "Get download configuration:");

  // A worker that asks again parses the stored reply without a request.
  config_.status = CConfigure::kNotReady;
  MakeConfigurationReady(config_, abandoned_, embedded_);
  EXPECT_EQ(config_.status, CConfigure::kReady);
  EXPECT_EQ(primary.GetCount("/queryDownloaderV2"), 1);
}

TEST_F(ConfigurationService, MirrorThenEmbeddedFile) {
  TestHttpServer mirror;
  mirror.ServeBytes("/queryDownloaderV2", kReply);
  process_.ConfigService({kDown, Base(mirror), kDown});
  LogCapture log;
  MakeConfigurationReady(config_, abandoned_, embedded_);
  EXPECT_EQ(config_.source, CConfigure::kFromService);
  EXPECT_NE(log.Text().find("(Sync cn): 0, "), std::string::npos);

  CConfigure fallback(127, 1033, 61);
  process_.ConfigService({kDown, kDown, kDown});
  MakeConfigurationReady(fallback, abandoned_, embedded_);
  EXPECT_EQ(fallback.status, CConfigure::kReady);
  EXPECT_EQ(fallback.source, CConfigure::kFromFile);
  EXPECT_EQ(fallback.Software_version, "1.0.0.0");
  EXPECT_FALSE(fallback.downloadInfoXml.has_value());
}

TEST_F(ConfigurationService, BrokenRepliesFallBackToTheEmbeddedFile) {
  TestHttpServer primary;
  primary.ServeBytes("/queryDownloaderV2", "<Downloader><Site_id>5</Site_id>");  // no end tag
  TestHttpServer mirror;
  mirror.ServeBytes("/queryDownloaderV2", "", ServeOptions{.errorStatus = 500, .errorBody = "oops"});
  process_.ConfigService({Base(primary), Base(mirror), kDown});
  MakeConfigurationReady(config_, abandoned_, embedded_);
  EXPECT_EQ(config_.source, CConfigure::kFromFile);
  EXPECT_EQ(config_.Site_id, 61);
}

TEST_F(ConfigurationService, OversizedRepliesFallBackToTheEmbeddedFile) {
  constexpr std::int64_t MiB = 1048576;
  // A whole <Downloader> element right at the start of a reply that goes on
  // for 2 GiB: half a reply is no reply.
  std::string streamed = kReply;
  streamed.resize(65536, ' ');
  for (const auto& c : OversizedReplies(streamed)) {
    RawHttpServer primary(c.head, c.body, c.bytes);
    RawHttpServer mirror(c.head, c.body, c.bytes);
    process_.ConfigService({primary.Url(""), mirror.Url(""), kDown});
    CConfigure config(127, 1033, 61);
    const PeakMemoryGrowth memory;
    MakeConfigurationReady(config, abandoned_, embedded_);
    EXPECT_EQ(config.status, CConfigure::kReady) << c.what;
    EXPECT_EQ(config.source, CConfigure::kFromFile) << c.what;
    EXPECT_EQ(primary.Requests(), 1) << c.what;
    EXPECT_EQ(mirror.Requests(), 1) << c.what;
    EXPECT_LT(memory.Bytes(), 64 * MiB) << c.what;
  }
}

TEST_F(ConfigurationService, TestEnvAsksThePlainTestEndpointTwice) {
  dir_.Write("qm_downloader.cfg", "[Settings]\nTestEnv=1\n");
  TestHttpServer test;
  test.ServeBytes("/queryDownloaderV2", "no element here");
  TestHttpServer primary;
  primary.ServeBytes("/queryDownloaderV2", kReply);
  process_.ConfigService({Base(primary), Base(primary), Base(test)});
  LogCapture log;
  MakeConfigurationReady(config_, abandoned_, embedded_);
  EXPECT_EQ(test.GetCount("/queryDownloaderV2"), 2);
  EXPECT_EQ(primary.GetCount("/queryDownloaderV2"), 0);
  EXPECT_NE(log.Text().find("(Sync test): "), std::string::npos);
}

TEST_F(ConfigurationService, UnresolvableHostAndTimeOutRaiseFlowErrors) {
  process_.ConfigService({"http://qm-nowhere.invalid", "http://qm-nowhere.invalid", kDown});
  MakeConfigurationReady(config_, abandoned_, embedded_);
  auto actions = Actions();
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "FlowError:DL003"), 2);

  TestHttpServer stalled;
  stalled.ServeBytes("/queryDownloaderV2", kReply, ServeOptions{.stallAfterBytes = 3});
  process_.ConfigService({Base(stalled), kDown, kDown});
  CConfigure slow(127, 1033, 61);
  MakeConfigurationReady(slow, abandoned_, embedded_);
  actions = Actions();
  EXPECT_NE(std::find(actions.begin(), actions.end(), "FlowError:DL002"), actions.end());
  EXPECT_NE(std::find(actions.begin(), actions.end(), "SyncGetCbsTime:5"), actions.end());
}

TEST_F(ConfigurationService, BackgroundQueryGivesWayToTheWorker) {
  TestHttpServer primary;
  primary.ServeBytes("/queryDownloaderV2", kReply);
  process_.ConfigService({Base(primary), kDown, kDown});
  std::atomic<bool> abandoned{true};
  LogCapture log;
  AsyncGetCbsInfo(config_, abandoned);
  EXPECT_NE(log.Text().find(" GetDownloaderInfo(Async) abandon"), std::string::npos);
  EXPECT_EQ(config_.status, CConfigure::kNotReady);  // stored, not parsed
  EXPECT_TRUE(config_.downloadInfoXml.has_value());
  abandoned = false;
  CConfigure fresh(127, 1033, 61);
  AsyncGetCbsInfo(fresh, abandoned);
  EXPECT_EQ(fresh.status, CConfigure::kReady);
}
