#include <gtest/gtest.h>

#include "Common/StartupRules.h"

using Items = std::vector<std::pair<std::string, std::string>>;

TEST(StartupRules, DownloadUrlIsFirstThatIsNeitherCdnNorDl) {
  struct Case {
    std::string download, extra, expected;
  };
  const Case cases[] = {
      {"http://dl.x.com/a/app_x.exe", "https://www.x.com/downloads/extra/app_y.exe",
       "https://www.x.com/downloads/extra/app_y.exe"},
      {"http://dl.x.com/a.exe", "https://cdn.x.com/b.exe", ""},
      {"https://api.x.com/a.exe", "https://www.x.com/b.exe", "https://api.x.com/a.exe"},
      {"", "https://www.x.com/b.exe", ""},  // an empty first item is taken as it is
  };
  for (const Case& c : cases) {
    const StartupValues values =
        ReadStartupValues({{"Download_url", c.download}, {"Extra_download_url", c.extra}});
    EXPECT_EQ(values.downloadUrl, c.expected) << c.download << " | " << c.extra;
  }
}

TEST(StartupRules, ReadsTheItemsItNeedsWithDefaults) {
  const StartupValues values = ReadStartupValues({{"Downloader_id", "127"}, {"Site_id", "61x"}, {"Software_name", "Vantor Mark Eraser"}, {"MainPid", "2739"}, {"Support32System", "0"}, {"Other", "ignored"}});
  EXPECT_EQ(values.downloaderIdText, "127");
  EXPECT_EQ(values.downloaderId, 127);
  EXPECT_EQ(values.siteId, 61);
  EXPECT_EQ(values.mainPid, 2739);
  EXPECT_EQ(values.support32System, "0");
  const StartupValues empty = ReadStartupValues({});
  EXPECT_EQ(empty.downloaderId, 0);
  EXPECT_EQ(empty.downloadUrl, "");
  EXPECT_EQ(WindowClassNameFor(empty.downloaderIdText), "");
  EXPECT_EQ(InstanceLockName(empty.downloaderId), "KLM_Downloader_0");
  EXPECT_EQ(WindowClassNameFor("127"), "QM_UI_Frame_127");
  EXPECT_EQ(InstanceLockName(127), "KLM_Downloader_127");
}

TEST(StartupRules, LogStem) {
  const std::pair<const char*, const char*> cases[] = {
      {"https://www.x.com/downloads/extra/name_x.exe", "name_x"},
      {"https://www.x.com/a/name.tar.gz", "name"},
      {"https://www.x.com/a/noextension", ""},
      {"no-slash.exe", ""},
      {"https://www.x.com/a/", ""},
      {"", ""},
  };
  for (const auto& [url, stem] : cases) EXPECT_EQ(LogStemFromUrl(url), stem) << url;
}

TEST(StartupRules, CommandLineForms) {
  struct Case {
    std::string tail;
    bool debug;
    CommandLine::Mode mode;
    std::string logFile, reason;
  };
  using M = CommandLine::Mode;
  const Case cases[] = {
      {"debug", true, M::kNormal, "", ""},
      {" debug", false, M::kNormal, "", ""},
      {"debug x", false, M::kNormal, "", ""},
      {"-dmp /tmp/a b.log", false, M::kCrashDump, "/tmp/a b.log", "CrashDmp"},
      {"x -dmp y.log", false, M::kCrashDump, "y.log", "CrashDmp"},
      {"-close02 app_x_20260101.log", false, M::kClose, "app_x_20260101.log", "close02"},
      {"-close07 -dmp z.log", false, M::kCrashDump, "z.log", "CrashDmp"},  // "-dmp " wins
      {"-close", false, M::kClose, "", "close"},
      {"-dmp", false, M::kNormal, "", ""},
  };
  for (const Case& c : cases) {
    const CommandLine cmd = ParseCommandLine(c.tail);
    EXPECT_EQ(cmd.debug, c.debug) << c.tail;
    EXPECT_EQ(cmd.mode, c.mode) << c.tail;
    EXPECT_EQ(cmd.logFileName, c.logFile) << c.tail;
    EXPECT_EQ(cmd.reason, c.reason) << c.tail;
  }
}

TEST(StartupRules, KitFlagAnd32BitRefusal) {
  EXPECT_TRUE(KitFlagFor(277));
  EXPECT_TRUE(KitFlagFor(278));
  EXPECT_FALSE(KitFlagFor(127));
  EXPECT_FALSE(KitFlagFor(0));
  EXPECT_TRUE(ShouldRefuse32Bit("0", true));
  EXPECT_FALSE(ShouldRefuse32Bit("0", false));  // a 64-bit system always runs the 64-bit build
  EXPECT_FALSE(ShouldRefuse32Bit("", true));
  EXPECT_FALSE(ShouldRefuse32Bit("1", true));
  EXPECT_FALSE(ShouldRefuse32Bit("00", true));
}

TEST(StartupRules, CommandLineTailJoinsArguments) {
  char a0[] = "qm", a1[] = "-close02", a2[] = "x.log";
  char* argv[] = {a0, a1, a2, nullptr};
  EXPECT_EQ(CommandLineTail(3, argv), "-close02 x.log");
  EXPECT_EQ(CommandLineTail(1, argv), "");
}
