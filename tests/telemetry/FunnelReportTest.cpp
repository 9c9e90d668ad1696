#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "CollectorDocument.h"
#include "FunnelDocument.h"
#include "Guid.h"
#include "TelemetryFixture.h"
#include "WebLog.h"
#include "platform/Paths.h"
#include "support/Subprocess.h"

namespace {

class FakeWindow : public ITelemetryWindow {
 public:
  std::string ProductVersion() const override { return "5.1.0"; }
  int LanguageId() const override { return 2; }
};

TelemetryContext SampleContext() {
  TelemetryContext c;
  c.toolsVersion = "1.2.3.4";
  c.crossEndId = "abc";
  c.productName = "Mark Eraser";
  c.mainPid = 7;
  c.isNew = true;
  c.kitFlag = true;
  return c;
}

}  // namespace

TEST(FunnelDocument, CoreFunctionForm) {
  FakeWindow window;
  const Json::Value doc = ParseJson(CoreFuncDocument(SampleContext(), WindowFacts(&window), "CoreFuncEvent",
                                                     "Downloading", 2, "Download", "Downloading", "null"));
  EXPECT_EQ(doc["is_new"].asInt(), 1);
  EXPECT_EQ(doc["brand"].asString(), "PC");
  EXPECT_EQ(doc["product_version"].asString(), "5.1.0");
  EXPECT_EQ(doc["tools_lang"].asString(), "zh-cn");
  EXPECT_EQ(doc["rnclid"].asString(), "abc");
  EXPECT_EQ(doc["source_type"].asString(), "downloader");
  EXPECT_EQ(doc["kit_type"].asInt(), 1);
  EXPECT_EQ(doc["pid"].asInt(), 7);
  ASSERT_EQ(doc["actions"].size(), 1u);
  const Json::Value& a = doc["actions"][0];
  EXPECT_EQ(a["event_type"].asString(), "CoreFuncEvent");
  EXPECT_EQ(a["core_func_name"].asString(), "Downloading");
  EXPECT_EQ(a["func_step"].asInt(), 2);
  EXPECT_EQ(a["event_label"].asString(), "null");
}

TEST(FunnelDocument, StyledWithTabsSortedKeysAndFinalLineBreak) {
  const std::string text = CoreFuncDocument(SampleContext(), {}, "", "", 0, "c", "a", "l");
  EXPECT_EQ(text.substr(0, 3), "{\n\t");
  EXPECT_EQ(text.back(), '\n');
  EXPECT_LT(text.find("\"actions\""), text.find("\"brand\""));
  const Json::Value a = ParseJson(text)["actions"][0];
  EXPECT_EQ(a["event_type"].asString(), "event");
  EXPECT_FALSE(a.isMember("core_func_name"));
  EXPECT_FALSE(a.isMember("func_step"));
}

TEST(FunnelDocument, WithoutMainWindowVersionAndLanguageAreEmpty) {
  const Json::Value doc = ParseJson(FieldsDocument(SampleContext(), WindowFacts(nullptr), "c", "a", {}));
  EXPECT_EQ(doc["product_version"].asString(), "");
  EXPECT_EQ(doc["tools_lang"].asString(), "");
}

TEST(FunnelDocument, FieldsFormSkipsEmptyKeysAndLetsFieldsReplaceMembers) {
  const Json::Value a = ParseJson(FieldsDocument(SampleContext(), {}, "Download", "Use download address",
                                                 {{"", "x"}, {"event_action", "Other"}, {"AddressType", "2"}}))["actions"][0];
  EXPECT_EQ(a["event_action"].asString(), "Other");
  EXPECT_EQ(a["AddressType"].asString(), "2");
  EXPECT_EQ(a["event_type"].asString(), "event");
  EXPECT_EQ(a.size(), 4u);
}

TEST(FunnelDocument, LanguageCodes) {
  const std::pair<int, const char*> cases[] = {{0, "en"}, {1, "ja"}, {10, "zh-tw"}, {19, "cz"}, {20, "en"}, {-1, "en"}};
  for (const auto& [id, code] : cases) EXPECT_EQ(FunnelLanguageCode(id), code) << id;
}

TEST(CollectorDocument, ExampleWithOnlyIsNewAndPid) {
  const Json::Value input = report::ParseInputDocument("{\"is_new\": 1, /* c */ \"pid\": 7}");
  const Json::Value doc = report::BuildCollectorDocument(input, {"u", "s", "Linux x64", 42});
  const Json::Value& c = doc["common"];
  EXPECT_EQ(c["is_new"].asInt(), 1);
  EXPECT_EQ(c["pid"].asInt(), 7);
  EXPECT_EQ(c["os"].asString(), "Win");
  EXPECT_EQ(c["os_version"].asString(), "Linux x64");
  EXPECT_TRUE(c["brand"].isString() && c["brand"].asString().empty());
  EXPECT_TRUE(c["mac"].isString() && c["mac"].asString().empty());
  EXPECT_TRUE(c["user_id"].isNull());
  EXPECT_TRUE(c.isMember("user_id"));
  EXPECT_FALSE(doc.isMember("start"));
  EXPECT_FALSE(doc.isMember("monitor"));
  EXPECT_TRUE(doc.isMember("actions"));
  EXPECT_TRUE(doc["actions"].isNull());
  EXPECT_EQ(doc["ts"].asInt64(), 42);
}

TEST(CollectorDocument, EntryAndMonitorAppearOnlyWhenGiven) {
  const Json::Value input = report::ParseInputDocument(
      R"({"entry": "e1", "monitor_type": "crash", "monitor_sub_pid": 9, "actions": [1]})");
  const Json::Value doc = report::BuildCollectorDocument(input, {});
  EXPECT_EQ(doc["start"]["entry"].asString(), "e1");
  EXPECT_EQ(doc["monitor"]["monitor_type"].asString(), "crash");
  EXPECT_EQ(doc["monitor"]["param"]["ext"]["pid"].asInt(), 9);
  EXPECT_EQ(doc["monitor"]["param"]["start_time"].asInt64(), 0);
  EXPECT_EQ(doc["actions"][0].asInt(), 1);
}

TEST(CollectorDocument, UnparsableInputGivesDefaults) {
  for (const char* text : {"", "{not json", "[1,2]", "\"text\""}) {
    const Json::Value doc = report::BuildCollectorDocument(report::ParseInputDocument(text), {});
    EXPECT_EQ(doc["common"]["pid"].asInt(), 0) << text;
    EXPECT_TRUE(doc["actions"].isNull()) << text;
  }
}

TEST(Guid, TextForms) {
  report::Guid g{0x0A0B0C0D, 0xABCD, 0xEF12, {1, 2, 3, 4, 5, 6, 0xAB, 0xCD}};
  EXPECT_EQ(report::FormatUserGuid(g), "0A0B0C0D-ABCD-EF12-0102-03040506ABCD");
  EXPECT_EQ(report::FormatSessionGuid(g), "0A0B0C0DABCDef12010203040506ABCD");
}

class SoftDataReportTest : public TelemetryTest {
 protected:
  WebLog MakeWebLog() { return WebLog(report::CurrentEndpoints(), report::CurrentHost(), dir_.path()); }
};

TEST_F(SoftDataReportTest, ResultIsStatusMinus200) {
  const std::pair<int, int> cases[] = {{200, 0}, {204, 4}, {500, 300}};
  for (const auto& [status, expected] : cases) {
    funnel_.Answer(FunnelCollectorStandIn::kPath, status);
    WebLog log = MakeWebLog();
    EXPECT_EQ(log.SoftDataReport("{}"), expected) << status;
  }
  funnel_.GoDown();
  WebLog log = MakeWebLog();
  EXPECT_GT(log.SoftDataReport("{}"), 0);
}

TEST_F(SoftDataReportTest, PostsTheCollectorDocument) {
  WebLog log = MakeWebLog();
  ASSERT_EQ(log.SoftDataReport("{\"is_new\": 1, \"pid\": 7}"), 0);
  const auto posts = funnel_.Received(FunnelCollectorStandIn::kPath);
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].headers.find("Content-Type")->second, "application/json; charset=utf-8");
  const Json::Value doc = ParseJson(posts[0].body);
  EXPECT_EQ(doc["common"]["pid"].asInt(), 7);
  EXPECT_EQ(doc["common"]["session_id"].asString().size(), 32u);
  const std::string uuid = platform::SystemFacts().RootFsUuid();
  EXPECT_EQ(doc["common"]["uid"].asString(), uuid.empty() ? "" : GetMd5Hex(uuid));
}

TEST_F(SoftDataReportTest, TestFileSwitchesToTheTestCollector) {
  dir_.Write("test", "");
  WebLog log = MakeWebLog();
  ASSERT_EQ(log.SoftDataReport("{}"), 0);
  EXPECT_EQ(funnel_.Count(FunnelCollectorStandIn::kTestPath), 1);
  EXPECT_EQ(funnel_.Count(FunnelCollectorStandIn::kPath), 0);
}

// Run as a child process: posts one report to the collector named by the
// environment, so that the parent can compare ids across processes.
TEST(SessionProbe, PostOneReport) {
  const char* collector = std::getenv("QM_PROBE_COLLECTOR");
  if (collector == nullptr) GTEST_SKIP() << "only as a child of SessionIdsDifferPerProcess";
  report::Endpoints e = report::BuildEndpoints();
  e.funnelCollect = collector;
  ScopedTestProcess process;
  process.ReportHost(ProgramReportHost());
  WebLog log(e, report::CurrentHost(), "/nonexistent");
  EXPECT_EQ(log.SoftDataReport("{}"), 0);
}

TEST_F(SoftDataReportTest, SessionIdsSharedInAProcessAndDifferentAcrossProcesses) {
  WebLog first = MakeWebLog();
  WebLog second = MakeWebLog();
  ASSERT_EQ(first.SoftDataReport("{}"), 0);
  ASSERT_EQ(second.SoftDataReport("{}"), 0);
  const std::string exe = platform::ExecutablePath();
  for (int child = 0; child < 2; ++child) {
    Subprocess p = Subprocess::Start({exe, "--gtest_filter=SessionProbe.PostOneReport"},
                                     {"QM_PROBE_COLLECTOR=" + funnel_.Url(FunnelCollectorStandIn::kPath)},
                                     dir_ / ("child" + std::to_string(child) + ".out"));
    ASSERT_EQ(p.Wait(30000), 0);
  }
  const auto posts = funnel_.Received(FunnelCollectorStandIn::kPath);
  ASSERT_EQ(posts.size(), 4u);
  std::vector<Json::Value> common;
  for (const auto& post : posts) common.push_back(ParseJson(post.body)["common"]);
  EXPECT_EQ(common[0]["session_id"], common[1]["session_id"]);
  EXPECT_NE(common[1]["session_id"], common[2]["session_id"]);
  EXPECT_NE(common[2]["session_id"], common[3]["session_id"]);
  for (const auto& c : common) EXPECT_EQ(c["uid"], common[0]["uid"]);
}
