#pragma once
// The flow-error vocabulary of the installation flow and its exception
// reports: the one place the install flow asks which code to send and what
// to post.
#include <string>

#include "EnumErrorCode.h"

class CSingleUserLog;

// Queues the GA4 flow-error event ("Other", "FlowError", code) on userLog
// (null: the process's queue), which derives the funnel events from it.
void ReportFlowError(const std::string& code, CSingleUserLog* userLog = nullptr);

// Code of a download round's result; empty for Completed. The tests are made
// in the order 9, 10, 6, 13, 7, 8, 11, 12, 15; any other value is "DL017".
std::string FlowErrorOfRound(int roundResult);

enum class ExceptionKind { None,
                           TooManyRedirects,
                           Md5Mismatch,
                           SignatureInvalid,
                           Md5AndSignature };

struct VerificationVerdict {
  std::string flowError;  // empty when both checks passed
  ExceptionKind report = ExceptionKind::None;
  bool installationEnds = false;
};

// md5Valid is true when the MD5 was not checked (embedded configuration).
VerificationVerdict JudgeVerification(bool md5Valid, bool signatureValid);

// The collector's form body. Values are not escaped: an "&" in the query URL
// splits "other" into more fields, which is what the collector expects.
// configSource: 1 service reply, 2 embedded file (unused for redirects).
std::string ExceptionReportBody(ExceptionKind kind, int downloaderId, int configSource,
                                const std::string& queryUrl, const std::string& adviceUrl);

// ".../api/exception/send" of the normal or the test-environment host.
std::string ExceptionCollectorUrl(bool testEnvironment);
// Sends every report to host instead (tests); empty restores the build's hosts.
void SetExceptionCollectorHostForTesting(const std::string& host);

// Posts one report; the libcurl code. response receives the collector's text.
int PostExceptionReport(const std::string& body, bool testEnvironment, std::string& response);

// " Send error report1, response is " (redirects) or "...report2..." line text.
std::string ExceptionReportLogText(ExceptionKind kind, const std::string& response, int code);
