#pragma once
// Shared set-up of the engine tests: libcurl initialised once, a scratch
// folder, the log captured to a file (and so kept off the console), the
// telemetry record emptied, and short time limits so supervision paths run in
// moments. Paths served by test servers are unique per test, so the
// process-wide content-length cache never answers for another test.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DownloadTimings.h"
#include "SingleUserLog.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

// A round that should succeed never meets the no-progress or transfer limits,
// even on a loaded machine under a sanitizer; tests of those limits set them
// or use StallTimings().
inline DownloadTimings FastTimings() {
  DownloadTimings t;
  t.noProgressMs = 30000;
  t.rangeTimeoutMs = 60000;
  t.probeTimeoutMs = 30000;
  t.probeRetryPauseMs = 5;
  t.dispatcherWaitMs = 60000;
  t.workerWaitMs = 30000;
  t.networkLostPauseMs = 20;
  t.watchPeriodMs = 20;
  t.dispatchPeriodMs = 20;
  t.retryPauseMs = 20;
  t.networkAlive = [] { return true; };
  t.workerCount = 4;
  return t;
}

// For runs that are meant to end without progress: they end in moments.
inline DownloadTimings StallTimings() {
  DownloadTimings t = FastTimings();
  t.noProgressMs = 1500;
  t.rangeTimeoutMs = 5000;  // a stalled transfer ends soon after the round
  return t;
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    static const bool initialised = [] {
      // Events are recorded for the tests but never leave the machine.
      UserLogSettings settings;
      settings.withWebLog = false;
      CSingleUserLog::SetInstanceSettings(settings);
      return curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    }();
    (void)initialised;
    CSingleUserLog::GetInstance()->TakeRecordedEvents();
  }

  // A server path no other test uses.
  static std::string UniquePath(const std::string& stem) {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return "/" + std::string(info->name()) + "-" + std::to_string(++counter) + "/" + stem;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static bool HasEvent(const std::vector<UserLogItem>& events, const std::string& action, const std::string& label) {
    for (const auto& e : events) {
      if (e.action == action && (label.empty() || e.label == label)) return true;
    }
    return false;
  }

  TempDir dir_;
  LogCapture log_;
};
