#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "Logger.h"
#include "support/LogCapture.h"

namespace {
void LabelledCaller(int value) { QMLOG(" UrlUsed: " << value); }
}  // namespace

TEST(Logger, LineCarriesFormatSignatureFileAndLabel) {
  LogCapture capture;
  LabelledCaller(42);
  const auto lines = capture.Lines();
  ASSERT_EQ(lines.size(), 1u);
  // "%datetime--[Thread](%thread) %msg"
  const std::regex format(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3}--\[Thread\]\(\d+\) (.*)$)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(lines[0], match, format)) << lines[0];
  const std::string message = match[1];
  EXPECT_NE(message.find("void {anonymous}::LabelledCaller(int)"), std::string::npos) << message;
  EXPECT_NE(message.find("LoggerTest.cpp UrlUsed: 42"), std::string::npos) << message;
}

TEST(Logger, FatalEntryDoesNotEndTheProcess) {
  LogCapture capture;
  CLOG(FATAL, "default") << "still alive";
  QMLOG(" after fatal");
  EXPECT_NE(capture.Text().find(" after fatal"), std::string::npos);
}

TEST(Logger, ManyThreadsKeepWholeLines) {
  LogCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) QMLOG(" Line: " << t << "-" << i);
    });
  }
  for (auto& thread : threads) thread.join();
  const auto lines = capture.Lines();
  int infoLines = 0;
  for (const auto& line : lines) infoLines += line.find(" Line: ") != std::string::npos;
  EXPECT_EQ(infoLines, 200);
}
