#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "SingleUserLog.h"
#include "support/TempDir.h"
#include "support/ScopedEnv.h"

TEST(SingleUserLog, InitLogPathPlacesLogAndWorkFolders) {
  TempDir dir;
  ScopedEnv state("XDG_STATE_HOME", dir / "state");
  ScopedEnv cache("XDG_CACHE_HOME", dir / "cache");
  CSingleUserLog* log = CSingleUserLog::GetInstance();
  EXPECT_EQ(log->InitLogPath("app_setup"), 1);
  EXPECT_EQ(log->GetLogDir(), dir / "state/RARivadurize/logs/app_setup");
  EXPECT_EQ(log->GetWorkDir(), dir / "cache/RARivadurize/app_setup");
  EXPECT_TRUE(std::filesystem::is_directory(log->GetLogDir()));
  EXPECT_TRUE(std::filesystem::is_directory(log->GetWorkDir()));
  const std::regex file(R"(.*/RARivadurize/logs/app_setup/app_setup_(\d{17})\.log)");
  std::smatch match;
  const std::string path = log->GetLogFilePath();
  ASSERT_TRUE(std::regex_match(path, match, file)) << path;
  EXPECT_EQ(match[1].str(), log->GetStartStamp());
}

TEST(SingleUserLog, ContentLengthCacheIgnoresEmptyKeysAndZero) {
  CSingleUserLog* log = CSingleUserLog::GetInstance();
  log->CacheContentLength("", 5);
  log->CacheContentLength("http://a/x", 0);
  EXPECT_EQ(log->LookupContentLength(""), 0u);
  EXPECT_EQ(log->LookupContentLength("http://a/x"), 0u);
  log->CacheContentLength("http://a/x", 5000000000ULL);
  log->CacheContentLength("http://a/x", 7);
  EXPECT_EQ(log->LookupContentLength("http://a/x"), 7u);
}
