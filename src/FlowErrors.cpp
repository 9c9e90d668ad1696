#include "FlowErrors.h"

#include <cstdio>
#include <mutex>
#include <vector>

#include "BuildSettings.h"
#include "CLibcurlTool.h"
#include "SingleUserLog.h"

namespace {

// Cuts a text to what a buffer of the given size would hold.
std::string Bounded(const std::string& text, std::size_t bufferSize) {
  return text.size() < bufferSize ? text : text.substr(0, bufferSize - 1);
}

const char* ExceptionCodeStem(ExceptionKind kind) {
  switch (kind) {
    case ExceptionKind::Md5Mismatch: return "MD5_Check_Fail_Cfg";
    case ExceptionKind::SignatureInvalid: return "Hash_Check_Fail_Cfg";
    case ExceptionKind::Md5AndSignature: return "MD5_Hash_Check_Fail_Cfg";
    default: return "";
  }
}

}  // namespace

void ReportFlowError(const std::string& code, CSingleUserLog* userLog) {
  CSingleUserLog::GivenOrProcess(userLog).AddUserLog("Other", "FlowError", code, false);
}

std::string FlowErrorOfRound(int roundResult) {
  static const std::vector<std::pair<int, const char*>> kRounds = {
      {NetworkDown, "DL010"},
      {NoProgress, "DL011"},
      {GetLengthFailed, "DL012"},
      {TooManyRedirects, "DL022"},
      {OpenFileFailed, "DL027"},
      {CreateThreadsFailed, "DL028"},
      {CdnFailed, "DL029"},
      {LengthShort, "DL030"},
      {PackageTooSmall, "DL031"},
  };
  for (const auto& [result, code] : kRounds) {
    if (roundResult == result) return code;
  }
  return roundResult == Completed ? "" : "DL017";
}

VerificationVerdict JudgeVerification(bool md5Valid, bool signatureValid) {
  if (md5Valid && signatureValid) return {};
  if (!md5Valid && signatureValid) return {"DL013", ExceptionKind::Md5Mismatch, false};
  if (md5Valid) return {"DL014", ExceptionKind::SignatureInvalid, true};
  return {"DL015", ExceptionKind::Md5AndSignature, true};
}

std::string ExceptionReportBody(ExceptionKind kind, int downloaderId, int configSource,
                                const std::string& queryUrl, const std::string& adviceUrl) {
  const std::string pid = "pid=" + std::to_string(downloaderId) + "&type=2&exception_code=";
  const std::string other = "&other=" + queryUrl + "," + adviceUrl;
  if (kind == ExceptionKind::None) return {};
  if (kind == ExceptionKind::TooManyRedirects) {
    return Bounded(pid + "Url_Too_Many_Redirects" + other, 2048);
  }
  return Bounded(pid + ExceptionCodeStem(kind) + std::to_string(configSource) + other, 1024);
}

namespace {
std::mutex g_collectorMutex;
std::string g_collectorHost;  // empty: the build's hosts
}  // namespace

void SetExceptionCollectorHostForTesting(const std::string& host) {
  std::lock_guard<std::mutex> lock(g_collectorMutex);
  g_collectorHost = host;
}

std::string ExceptionCollectorUrl(bool testEnvironment) {
  {
    std::lock_guard<std::mutex> lock(g_collectorMutex);
    if (!g_collectorHost.empty()) return g_collectorHost + "/api/exception/send";
  }
  return std::string(testEnvironment ? build::kExceptionTestHost : build::kExceptionHost) +
         "/api/exception/send";
}

int PostExceptionReport(const std::string& body, bool testEnvironment, std::string& response) {
  return CLibcurlTool::HttpPost(ExceptionCollectorUrl(testEnvironment), body, response, "");
}

std::string ExceptionReportLogText(ExceptionKind kind, const std::string& response, int code) {
  const char* which = kind == ExceptionKind::TooManyRedirects ? "1" : "2";
  return std::string(" Send error report") + which + ", response is " + response + ", return " +
         std::to_string(code);
}
