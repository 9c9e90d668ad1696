#include <gtest/gtest.h>

#include <curl/curl.h>

#include "BuildSettings.h"
#include "CLibcurlTool.h"
#include "FlowErrors.h"
#include "support/TelemetryStandIns.h"

TEST(FlowErrors, CodeOfEachRoundResult) {
  const std::pair<int, const char*> cases[] = {
      {1, ""},
      {9, "DL010"},
      {10, "DL011"},
      {6, "DL012"},
      {13, "DL022"},
      {7, "DL027"},
      {8, "DL028"},
      {11, "DL029"},
      {12, "DL030"},
      {15, "DL031"},
      {14, "DL017"},
      {0, "DL017"},
      {-3, "DL017"},
  };
  for (const auto& [result, code] : cases) EXPECT_EQ(FlowErrorOfRound(result), code) << result;
}

TEST(FlowErrors, VerificationVerdicts) {
  struct Case {
    bool md5, signature;
    const char* code;
    ExceptionKind kind;
    bool ends;
  } cases[] = {
      {true, true, "", ExceptionKind::None, false},
      {false, true, "DL013", ExceptionKind::Md5Mismatch, false},
      {true, false, "DL014", ExceptionKind::SignatureInvalid, true},
      {false, false, "DL015", ExceptionKind::Md5AndSignature, true},
  };
  for (const auto& c : cases) {
    const VerificationVerdict v = JudgeVerification(c.md5, c.signature);
    EXPECT_EQ(v.flowError, c.code);
    EXPECT_EQ(v.report, c.kind);
    EXPECT_EQ(v.installationEnds, c.ends);
  }
}

TEST(FlowErrors, ExceptionReportBodiesByteForByte) {
  const std::string query = "https://api.example/queryDownloaderV2?LanguageId=1&SoftWareID=7";
  const std::string advice = "http://dl.example/setup.exe";
  struct Case {
    ExceptionKind kind;
    std::string body;
  } cases[] = {
      {ExceptionKind::TooManyRedirects,
       "pid=127&type=2&exception_code=Url_Too_Many_Redirects&other=" + query + "," + advice},
      {ExceptionKind::Md5Mismatch, "pid=127&type=2&exception_code=MD5_Check_Fail_Cfg1&other=" + query + "," + advice},
      {ExceptionKind::SignatureInvalid,
       "pid=127&type=2&exception_code=Hash_Check_Fail_Cfg1&other=" + query + "," + advice},
      {ExceptionKind::Md5AndSignature,
       "pid=127&type=2&exception_code=MD5_Hash_Check_Fail_Cfg1&other=" + query + "," + advice},
  };
  for (const auto& c : cases) EXPECT_EQ(ExceptionReportBody(c.kind, 127, 1, query, advice), c.body);
  EXPECT_EQ(ExceptionReportBody(ExceptionKind::Md5Mismatch, 5, 2, "", ""),
            "pid=5&type=2&exception_code=MD5_Check_Fail_Cfg2&other=,");
  EXPECT_EQ(ExceptionReportBody(ExceptionKind::Md5Mismatch, 5, 2, std::string(2000, 'q'), "").size(), 1023u);
  EXPECT_EQ(ExceptionReportBody(ExceptionKind::TooManyRedirects, 5, 2, std::string(3000, 'q'), "").size(), 2047u);
}

TEST(FlowErrors, CollectorHostFollowsTheTestEnvironment) {
  EXPECT_EQ(ExceptionCollectorUrl(false), std::string(build::kExceptionHost) + "/api/exception/send");
  EXPECT_EQ(ExceptionCollectorUrl(true), std::string(build::kExceptionTestHost) + "/api/exception/send");
}

TEST(FlowErrors, UnescapedAmpersandSplitsOtherAtTheCollector) {
  curl_global_init(CURL_GLOBAL_ALL);
  ExceptionCollectorStandIn collector;
  const std::string body =
      ExceptionReportBody(ExceptionKind::TooManyRedirects, 127, 1, "http://q/x?a=1&b=2", "http://dl/s.exe");
  std::string response;
  EXPECT_EQ(CLibcurlTool::HttpPost(collector.Url(ExceptionCollectorStandIn::kPath), body, response, ""), 0);
  EXPECT_EQ(response, "ok");
  const auto posts = collector.Received(ExceptionCollectorStandIn::kPath);
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body, "pid=127&type=2&exception_code=Url_Too_Many_Redirects&other=http://q/x?a=1&b=2,http://dl/s.exe");
  EXPECT_EQ(ExceptionReportLogText(ExceptionKind::TooManyRedirects, "ok", 0), " Send error report1, response is ok, return 0");
  EXPECT_EQ(ExceptionReportLogText(ExceptionKind::Md5Mismatch, "", 7), " Send error report2, response is , return 7");
}
