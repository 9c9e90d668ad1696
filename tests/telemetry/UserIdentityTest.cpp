#include <dlfcn.h>
#include <gtest/gtest.h>

#include <regex>

#include "ExportedFunctions.h"
#include "Geolocation.h"
#include "TelemetryFixture.h"
#include "WebLog.h"

namespace {

const std::regex kUserGuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[0-9A-F]{4}-[0-9A-F]{12}");

}  // namespace

class UserIdentityTest : public TelemetryTest {
 protected:
  WebLog MakeWebLog() { return WebLog(report::CurrentEndpoints(), report::CurrentHost(), dir_.path()); }
};

TEST_F(UserIdentityTest, WithoutRecordANewUserIsWrittenWhetherOrNotTheNetworkWorks) {
  for (const bool networkUp : {true, false}) {
    TempDir registry;
    ScopedTestProcess round;
    round.RegistryRoot(registry.path());
    if (!networkUp) round.ReportEndpoints(StandInEndpoints(nullptr, nullptr, nullptr, nullptr));
    WebLog log = MakeWebLog();
    std::string guid, userId;
    EXPECT_EQ(log.GetUserInfo(guid, userId), 0);
    EXPECT_TRUE(std::regex_match(guid, kUserGuid)) << guid;
    EXPECT_EQ(userId, "1001");
    EXPECT_EQ(Identity("guid"), guid);
    EXPECT_EQ(Identity("user_id"), "1001");
  }
}

TEST_F(UserIdentityTest, AnswersOfTheUserService) {
  struct Case {
    const char* what;
    int status;
    const char* answer;
    std::string guid, userId, recordUserId;
  } cases[] = {
      {"known user", 200, "4242", "G-1", "4242", "77"},
      {"empty answer creates a user with the record's guid", 200, "", "G-1", "1001", "1001"},
      {"service failing keeps the record", 500, "x", "", "", "77"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(RegSetString("SOFTWARE\\RuviRovazed", "guid", "G-1"));
    ASSERT_TRUE(RegSetString("SOFTWARE\\RuviRovazed", "user_id", "77"));
    user_.Answer(UserServiceStandIn::kQuery, c.status, c.answer);
    WebLog log = MakeWebLog();
    std::string guid, userId;
    EXPECT_EQ(log.GetUserInfo(guid, userId), 0);
    EXPECT_EQ(guid, c.guid) << c.what;
    EXPECT_EQ(userId, c.userId) << c.what;
    EXPECT_EQ(Identity("guid"), "G-1") << c.what;
    EXPECT_EQ(Identity("user_id"), c.recordUserId) << c.what;
  }
  EXPECT_EQ(user_.Received(UserServiceStandIn::kQuery).back().query, "guid=G-1");
}

TEST_F(UserIdentityTest, BaseAddressFile) {
  UserServiceStandIn other;
  struct Case {
    const char* what;
    int status;
    std::string answer;
    std::string expected;
  } cases[] = {
      {"names another service", 200, other.Url(), other.Url()},
      {"without http: the built-in default", 200, "nothing here", user_.Url()},
      {"empty: the built-in default", 200, "", user_.Url()},
  };
  for (const auto& c : cases) {
    user_.Answer(UserServiceStandIn::kBaseFile, c.status, c.answer);
    WebLog log = MakeWebLog();
    std::string guid, userId;
    log.GetUserInfo(guid, userId);
    EXPECT_EQ(log.ServiceBaseAddress(), c.expected) << c.what;
  }
  // All three attempts failing leave the address as it was.
  report::Endpoints e = report::CurrentEndpoints();
  e.userServiceDefault = "http://127.0.0.1:9/kept";
  e.userAddressFile = "http://127.0.0.1:9/base.txt";
  WebLog log(e, report::CurrentHost(), dir_.path());
  std::string guid, userId;
  log.GetUserInfo(guid, userId);
  EXPECT_EQ(log.ServiceBaseAddress(), "http://127.0.0.1:9/kept");
}

TEST(Geolocation, Parsing) {
  report::Location l;
  ASSERT_TRUE(report::ParseGeolocation(GeolocationStandIn::kAnswer, l));
  EXPECT_EQ(l.country, "Japan");
  EXPECT_EQ(l.city, "Shinjuku");
  EXPECT_EQ(l.publicAddress, "203.0.113.7");
  report::Location untouched{"a", "b", "c"};
  EXPECT_FALSE(report::ParseGeolocation("fail,reserved range", untouched));
  EXPECT_EQ(untouched.country, "a");
  ASSERT_TRUE(report::ParseGeolocation("success,Chile\r\n", l));
  EXPECT_EQ(l.country, "Chile");
  EXPECT_EQ(l.city, "");
  EXPECT_EQ(l.publicAddress, "Chile");
}

TEST_F(UserIdentityTest, UsageRecordWithEightDigitIds) {
  WebLog log = MakeWebLog();
  EXPECT_EQ(log.ReportUsage(5, 1, "", 7, 1, 54, "", "", 0, 0), -1);  // no user yet
  std::string guid, userId;
  log.GetUserInfo(guid, userId);
  EXPECT_EQ(log.ReportUsage(0, 1, "", 7, 1, 54, "", "", 0, 0), -1);
  EXPECT_EQ(log.ReportUsage(5, 1, "", 0, 1, 54, "", "", 0, 0), -1);
  EXPECT_EQ(log.ReportUsage(5, 1, "rd", 7, 1, 54, "2.0", "a@b", 3, 4), 0);
  const auto usage = user_.Received(UserServiceStandIn::kUsage);
  ASSERT_EQ(usage.size(), 1u);
  EXPECT_EQ(usage[0].query,
            "USER_ID=1001&OP_ID=00000005&SoftWareID=00000007&RegEmail=a@b&UseTime=&Location=Japan"
            "&City=Shinjuku&OutIP=203.0.113.7&LanguageId=00000001&Result=00000001&ResultData=rd"
            "&SiteID=00000054&CurVersion=2.0&ActivityID=00000003&VersionID=00000004");
  user_.Answer(UserServiceStandIn::kUsage, 500);
  EXPECT_EQ(log.ReportUsage(5, 1, "", 7, 1, 54, "", "", 0, 0), -1);
}

// The exported functions, found by name in the loaded module.
class ExportedFunctionsTest : public TelemetryTest {
 protected:
  void SetUp() override {
    handle_ = dlopen("libqmreport.so", RTLD_NOW);
    ASSERT_NE(handle_, nullptr) << dlerror();
    create_ = reinterpret_cast<WebLog* (*)()>(dlsym(handle_, "CreateExportObj"));
    destroy_ = reinterpret_cast<void (*)(WebLog*)>(dlsym(handle_, "DestroyExportObj"));
    nsisLog_ = reinterpret_cast<int (*)(int, int, int, int)>(dlsym(handle_, "NSISLog"));
    ASSERT_TRUE(create_ && destroy_ && nsisLog_);
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* handle_ = nullptr;
  WebLog* (*create_)() = nullptr;
  void (*destroy_)(WebLog*) = nullptr;
  int (*nsisLog_)(int, int, int, int) = nullptr;
};

TEST_F(ExportedFunctionsTest, CreateAndDestroy) {
  WebLog* log = create_();
  ASSERT_NE(log, nullptr);
  destroy_(log);
  destroy_(nullptr);
}

TEST_F(ExportedFunctionsTest, NsisLogWithOperationZeroSendsNoUsageRecord) {
  EXPECT_EQ(nsisLog_(0, 7, 1, 54), 0);
  ASSERT_TRUE(report::WaitForNsisLogThreads(30000));
  EXPECT_GE(user_.Count(UserServiceStandIn::kQuery) + user_.Count(UserServiceStandIn::kBaseFile), 1);
  EXPECT_EQ(user_.Count(UserServiceStandIn::kUsage), 0);
}

TEST_F(ExportedFunctionsTest, NsisLogSendsOneUsageRecord) {
  EXPECT_EQ(nsisLog_(10203, 7, 2, 354), 0);
  ASSERT_TRUE(report::WaitForNsisLogThreads(30000));
  const auto usage = user_.Received(UserServiceStandIn::kUsage);
  ASSERT_EQ(usage.size(), 1u);
  EXPECT_EQ(usage[0].method, "GET");
  const std::string& q = usage[0].query;
  for (const char* part : {"OP_ID=00010203", "SoftWareID=00000007", "LanguageId=00000002", "SiteID=00000354",
                           "Result=00000001", "ActivityID=00000000", "VersionID=00000000", "USER_ID=1001"}) {
    EXPECT_NE(q.find(part), std::string::npos) << part << " in " << q;
  }
}
