#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <thread>

#include "FunnelDocument.h"
#include "SingleUserLog.h"
#include "TelemetryFixture.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"

namespace {

std::string FunnelAction(const std::string& document) {
  return ParseJson(document)["actions"][0]["event_action"].asString();
}

int CountLines(const LogCapture& capture, const std::string& text) {
  int n = 0;
  for (const auto& line : capture.Lines()) n += line.find(text) != std::string::npos ? 1 : 0;
  return n;
}

}  // namespace

class UserLogTest : public TelemetryTest {
 protected:
  std::unique_ptr<CSingleUserLog> Make(int exitWaitMs = 60000, bool withWebLog = true, bool disabled = false) {
    UserLogSettings s;
    s.idlePollMs = 5;
    s.exitWaitMs = exitWaitMs;
    s.disabled = disabled;
    s.withWebLog = withWebLog;
    auto log = CSingleUserLog::CreateStandalone(s);
    log->TakeRecordedEvents();
    return log;
  }
  std::vector<std::string> FunnelActionsReceived() const {
    std::vector<std::string> actions;
    for (const auto& r : funnel_.Received(FunnelCollectorStandIn::kPath)) {
      actions.push_back(ParseJson(r.body)["actions"][0]["event_action"].asString());
    }
    return actions;
  }
  LogCapture capture_;
};

TEST_F(UserLogTest, FlowErrorsDeriveFunnelEvents) {
  auto log = Make();
  EXPECT_EQ(log->AddUserLog("Other", "FlowError", "DL010", false), 0);
  auto events = log->TakeRecordedEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].category + "/" + events[0].action, "ErrorReporting/Error");
  EXPECT_EQ(ParseJson(events[0].body)["actions"][0]["MainErrorType"].asString(), "DL010");
  const Json::Value start = ParseJson(events[1].body)["actions"][0];
  EXPECT_EQ(start["event_action"].asString(), "CoreFuncStart");
  EXPECT_EQ(start["core_func_name"].asString(), "FlowError");
  EXPECT_EQ(start["func_step"].asInt(), 0);
  const Json::Value step = ParseJson(events[2].body)["actions"][0];
  EXPECT_EQ(step["event_action"].asString(), "DL010");
  EXPECT_EQ(step["event_label"].asString(), "null");
  EXPECT_EQ(step["func_step"].asInt(), 1);
  EXPECT_EQ(events[3].category + "/" + events[3].action + "/" + events[3].label, "Other/FlowError/DL010");
  EXPECT_TRUE(events[3].body.empty());

  log->AddUserLog("Other", "FlowError", "DL011", false);
  events = log->TakeRecordedEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].action, "Error");
  EXPECT_EQ(ParseJson(events[1].body)["actions"][0]["func_step"].asInt(), 2);
  EXPECT_EQ(events[2].label, "DL011");

  log->AddUserLog("Download", "FlowError", "DL012", false);
  events = log->TakeRecordedEvents();
  ASSERT_EQ(events.size(), 2u);  // not "Other": no ErrorReporting event
  EXPECT_EQ(FunnelAction(events[0].body), "DL012");
  EXPECT_EQ(events[1].category, "Download");

  EXPECT_TRUE(log->WaitThreadForExit());
  EXPECT_EQ(FunnelActionsReceived(),
            (std::vector<std::string>{"Error", "CoreFuncStart", "DL010", "Error", "DL011", "DL012"}));
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 3);
}

TEST_F(UserLogTest, CloseAfterFlowErrorEndsTheFlowErrorFunctionSynchronouslyFirst) {
  auto log = Make();
  log->AddUserLog("Other", "FlowError", "DL023", false);
  log->TakeRecordedEvents();
  EXPECT_EQ(log->AddUserLog("CrashRate", "Close", "", true), 0);
  const auto events = log->TakeRecordedEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(FunnelAction(events[0].body), "CoreFuncEnd");
  EXPECT_EQ(ParseJson(events[0].body)["actions"][0]["core_func_name"].asString(), "FlowError");
  EXPECT_EQ(events[1].action, "Close");
  // Both were delivered before the call returned.
  const auto actions = FunnelActionsReceived();
  EXPECT_NE(std::find(actions.begin(), actions.end(), "CoreFuncEnd"), actions.end());
  bool closeHit = false;
  for (const auto& hit : ga4_.Received(Ga4CollectStandIn::kPath)) {
    closeHit |= hit.query.find("ep.qm_action=Close") != std::string::npos;
  }
  EXPECT_TRUE(closeHit);
}

TEST_F(UserLogTest, CloseWithoutFlowErrorSendsNoEndEvent) {
  auto log = Make();
  log->AddUserLog("CrashRate", "Close", "", true);
  const auto events = log->TakeRecordedEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].action, "Close");
}

// What a window exposes to the funnel documents, changeable from the test.
class ChangingWindow : public ITelemetryWindow {
 public:
  std::string ProductVersion() const override { return version; }
  int LanguageId() const override { return language; }
  std::string version = "1.0.0.0";
  int language = 1;
};

// A queued funnel event is built on the delivery thread, after the state has
// moved on: its document must still be the one of the moment of the call.
TEST_F(UserLogTest, QueuedFunnelDocumentsCarryTheStateOfTheCall) {
  funnel_.Stall(FunnelCollectorStandIn::kPath);
  auto log = Make();
  ChangingWindow window;
  log->SetMainWindow(&window);
  log->SetBaseInfo(61, "Mark Eraser", "http://dl/a.exe", false, 2739);
  log->AddUserLog_funnelEx("Download", "Blocker", "", "", false);
  ASSERT_TRUE(funnel_.WaitForCount(FunnelCollectorStandIn::kPath, 1, 30000));  // the thread is busy

  const TelemetryContext atCall = log->Context();
  const std::map<std::string, std::string> fields{{"Download address", "http://dl/a.exe"}, {"AddressType", "1"}};
  log->AddUserLog_funnel("CoreFuncEvent", "Downloading", 2, "Download", "Downloading", "null", false);
  log->AddUserLog_funnelEx("Download", "MDownSuccess", fields, false);
  const std::string wantCore = CoreFuncDocument(atCall, WindowFacts(&window), "CoreFuncEvent", "Downloading", 2,
                                                "Download", "Downloading", "null");
  const std::string wantFields = FieldsDocument(atCall, WindowFacts(&window), "Download", "MDownSuccess", fields);

  // Everything a document reads changes before the thread gets to them.
  window.version = "2.0.0.0";
  window.language = 3;
  log->SetBaseInfo(99, "Other Product", "http://dl/b.exe", true, 1);
  log->SetMainWindow(nullptr);
  funnel_.Answer(FunnelCollectorStandIn::kPath, 200);
  funnel_.ReleaseStalls();
  EXPECT_TRUE(log->WaitThreadForExit());

  std::map<std::string, Json::Value> sent;
  for (const auto& r : funnel_.Received(FunnelCollectorStandIn::kPath)) sent[FunnelAction(r.body)] = ParseJson(r.body);
  ASSERT_EQ(sent.count("Downloading"), 1u);
  ASSERT_EQ(sent.count("MDownSuccess"), 1u);
  const Json::Value& core = sent["Downloading"]["common"];
  EXPECT_EQ(core["product_version"].asString(), "1.0.0.0");
  EXPECT_EQ(core["tools_lang"].asString(), "ja");
  EXPECT_EQ(core["product"].asString(), "Mark Eraser");
  EXPECT_EQ(core["pid"].asInt(), 2739);
  EXPECT_EQ(core["kit_type"].asInt(), 0);
  // The collector's document carries every member of the document of the call.
  for (const auto& [action, text] : {std::pair{"Downloading", wantCore}, std::pair{"MDownSuccess", wantFields}}) {
    const Json::Value want = ParseJson(text);
    EXPECT_EQ(sent[action]["actions"], want["actions"]) << action;
    for (const auto& member : want.getMemberNames()) {
      if (member == "actions") continue;
      EXPECT_EQ(sent[action]["common"][member], want[member]) << action << " " << member;
    }
  }
  const auto recorded = log->TakeRecordedEvents();
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[1].body, wantCore);
  EXPECT_EQ(recorded[2].body, wantFields);
}

TEST_F(UserLogTest, AlwaysFailingCollectorsSeeEachQueuedEventFourTimes) {
  ga4_.Answer(Ga4CollectStandIn::kPath, 200);  // only 204 counts
  funnel_.Answer(FunnelCollectorStandIn::kPath, 500);
  auto log = Make();
  log->AddUserLog("Download", "1.Launch", "", false);
  log->AddUserLog_funnelEx("Download", "ResumUpload", "", "", false);
  EXPECT_TRUE(log->WaitThreadForExit());
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 4);
  EXPECT_EQ(funnel_.Count(FunnelCollectorStandIn::kPath), 4);
  EXPECT_EQ(CountLines(capture_, " send ga4 fail in ga4 queue, retry is max, retcode = -1, Download###1.Launch"), 2);
  EXPECT_EQ(CountLines(capture_, " send funnel fail in funnel queue, retry is max, retcode = 300, ###"), 2);
}

TEST_F(UserLogTest, RetriedEventsGoBehindNewerOnes) {
  ga4_.Stall(Ga4CollectStandIn::kPath);
  auto log = Make();
  log->AddUserLog("Download", "first", "", false);
  ASSERT_TRUE(ga4_.WaitForCount(Ga4CollectStandIn::kPath, 1, 30000));  // in flight
  log->AddUserLog("Download", "second", "", false);
  log->AddUserLog("Download", "third", "", false);
  ga4_.ReleaseStalls();  // from now on every hit fails at once
  EXPECT_TRUE(log->WaitThreadForExit());
  std::string order;
  for (const auto& hit : ga4_.Received(Ga4CollectStandIn::kPath)) {
    const auto at = hit.query.find("qm_action=");
    order += hit.query.substr(at + 10, 1);
  }
  EXPECT_EQ(order, "fstfstfstfst");
}

TEST_F(UserLogTest, WaitedSendsMakeThreeAttempts) {
  ga4_.Answer(Ga4CollectStandIn::kPath, 500);
  funnel_.Answer(FunnelCollectorStandIn::kPath, 204);
  auto log = Make();
  EXPECT_EQ(log->AddUserLog("Download", "9.StartWindow", "", true), -1);
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 3);
  EXPECT_EQ(CountLines(capture_, " send ga4 fail, bWait = true, retry is max, retcode = -1, Download###9.StartWindow"), 1);
  EXPECT_EQ(log->AddUserLog_funnel("Keypoint", "null", 0, "CorePublicModule", "Close", "null", true), 4);
  EXPECT_EQ(funnel_.Count(FunnelCollectorStandIn::kPath), 3);
  EXPECT_EQ(CountLines(capture_, " send funnel fail, bWait = true, retry is max, retcode = 4, CorePublicModule###Close"), 1);
  funnel_.Answer(FunnelCollectorStandIn::kPath, 200);
  EXPECT_EQ(log->AddUserLog_funnelEx("Download", "DownloadSuccess", "", "", true), 0);
}

TEST_F(UserLogTest, SlowCollectorLosesNothing) {
  ga4_.Answer(Ga4CollectStandIn::kPath, 204, "", 30);
  funnel_.Answer(FunnelCollectorStandIn::kPath, 200, "", 30);
  auto log = Make();
  std::vector<std::thread> producers;
  for (int t = 0; t < 4; ++t) {
    producers.emplace_back([&log, t] {
      for (int i = 0; i < 5; ++i) {
        log->AddUserLog("Download", "3.Downloading...", std::to_string(t * 10 + i), false);
        log->AddUserLog_funnelEx("Download", "SliceDownloading", "n", std::to_string(t * 10 + i), false);
      }
    });
  }
  for (auto& p : producers) p.join();
  EXPECT_TRUE(log->WaitThreadForExit());
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 20);
  EXPECT_EQ(funnel_.Count(FunnelCollectorStandIn::kPath), 20);
}

TEST_F(UserLogTest, WaitThreadForExitReturnsAtItsBoundWhenTheCollectorStalls) {
  ga4_.Stall(Ga4CollectStandIn::kPath);
  auto log = Make(/*exitWaitMs=*/100);
  log->AddUserLog("Download", "1.Launch", "", false);
  log->AddUserLog("Download", "2.DownStart", "", false);
  ASSERT_TRUE(ga4_.WaitForCount(Ga4CollectStandIn::kPath, 1, 30000));
  EXPECT_TRUE(log->WaitThreadForExit());
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 1);  // the second is still pending
  log.reset();                                         // gives up what is pending and ends the transfer in flight
}

TEST_F(UserLogTest, WaitThreadForExitWithCollectorDownDropsAfterTheTries) {
  ga4_.GoDown();
  auto log = Make();
  log->AddUserLog("Download", "1.Launch", "", false);
  EXPECT_TRUE(log->WaitThreadForExit());
  EXPECT_EQ(CountLines(capture_, "retry is max, retcode = -3, Download###1.Launch"), 2);
}

TEST_F(UserLogTest, DisabledTelemetry) {
  auto log = Make(60000, true, /*disabled=*/true);
  EXPECT_EQ(log->AddUserLog("Other", "FlowError", "DL010", false), -99);
  EXPECT_EQ(log->AddUserLog("CrashRate", "Close", "", true), -99);
  EXPECT_EQ(log->AddUserLog_funnel("e", "c", 0, "a", "b", "c", false), -99);
  EXPECT_EQ(log->AddUserLog_funnelEx("a", "b", "k", "v", true), -99);
  EXPECT_TRUE(log->WaitThreadForExit());
  EXPECT_TRUE(log->TakeRecordedEvents().empty());
  log->CacheContentLength("k", 3);
  EXPECT_EQ(log->LookupContentLength("k"), 3u);
  log.reset();
  EXPECT_EQ(user_.Count(UserServiceStandIn::kBaseFile), 0);  // no delivery thread ever ran
}

TEST_F(UserLogTest, WithoutReportingObject) {
  auto log = Make(60000, /*withWebLog=*/false);
  EXPECT_EQ(log->AddUserLog("Download", "1.Launch", "", true), -1);
  EXPECT_EQ(log->AddUserLog_funnelEx("a", "b", "k", "v", true), -1);
  EXPECT_EQ(log->AddUserLog("Download", "1.Launch", "", false), 0);
  EXPECT_TRUE(log->WaitThreadForExit());
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 0);
}

TEST_F(UserLogTest, DeliveryThreadEstablishesTheIdentityFirst) {
  auto log = Make();
  log->WaitThreadForExit();
  EXPECT_EQ(Identity("user_id"), "1001");
  EXPECT_FALSE(Identity("guid").empty());
}

TEST_F(UserLogTest, BaseInfoAndGalogFile) {
  ScopedEnv state("XDG_STATE_HOME", dir_ / "state");
  ScopedEnv cache("XDG_CACHE_HOME", dir_ / "cache");
  auto log = Make();
  log->InitLogPath("app_setup");
  log->SetBaseInfo(54, "Mark Eraser", "http://dl/x_bing_.exe", true, 7);
  EXPECT_TRUE(log->IsNew());
  log->AddUserLog_funnelEx("Download", "DownloadEnvReady", "", "", false);
  const std::string galog = log->GetLogDir() + "/galog.json";
  const Json::Value stored = ParseJson(TempDir::ReadAbsolute(galog));
  EXPECT_TRUE(stored.isMember("version"));
  EXPECT_TRUE(stored.isMember("day"));
  const Json::Value doc = ParseJson(log->TakeRecordedEvents().back().body);
  EXPECT_EQ(doc["is_new"].asInt(), 1);
  EXPECT_EQ(doc["kit_type"].asInt(), 1);
  EXPECT_EQ(doc["pid"].asInt(), 7);
  log->SetBaseInfo(54, "Mark Eraser", "", true, 7);
  EXPECT_FALSE(log->IsNew());
  auto laterRun = Make();
  laterRun->InitLogPath("app_setup");
  laterRun->SetBaseInfo(54, "Mark Eraser", "", true, 7);
  EXPECT_FALSE(laterRun->IsNew());
}

TEST(TelemetryContext, DerivedTexts) {
  const std::pair<const char*, const char*> ids[] = {
      {"/opt/x/markeraser_setup_277.exe", "277"},
      {"/a/Setup.exe", ""},
      {"/a/b_c", ""},
      {"/a_b/c.d", ""},
      {"x_1.2_abc.exe", "abc"},
      {"/a/x.y_z", ""},
  };
  for (const auto& [path, id] : ids) EXPECT_EQ(CrossEndIdFromPath(path), id) << path;
  std::string language, country;
  SplitUiLanguage("Chinese_Hong Kong SAR", language, country);
  EXPECT_EQ(language + "|" + country, "Chinese|Hong Kong SAR");
  SplitUiLanguage("0x0417", language, country);
  EXPECT_EQ(language + "|" + country, "Unknown|Unknown");
  EXPECT_EQ(OsText("Debian", true), "Debian 64bit");
  EXPECT_EQ(OsText("Debian", false), "Debian 32bit");
}
