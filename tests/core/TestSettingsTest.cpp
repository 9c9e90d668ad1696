#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSettings.h"
#include "platform/Paths.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"

TEST(TestSettings, ProfileIntReadsLikeThePlatformReader) {
  const std::string ini =
      "; comment\n[Other]\nAutoRun=1\n[ settings ]\r\nautorun = 1 \r\nTestEnv=01\nCrashTest=1x\nNeg=-3\nEmpty=\n";
  EXPECT_EQ(testsettings::ReadProfileInt(ini, "Settings", "AutoRun", 0), 1);
  EXPECT_EQ(testsettings::ReadProfileInt(ini, "Settings", "TestEnv", 0), 1);
  EXPECT_EQ(testsettings::ReadProfileInt(ini, "Settings", "CrashTest", 0), 1);
  EXPECT_EQ(testsettings::ReadProfileInt(ini, "Settings", "Neg", 0), -3);
  EXPECT_EQ(testsettings::ReadProfileInt(ini, "Settings", "Empty", 7), 7);
  EXPECT_EQ(testsettings::ReadProfileInt(ini, "Settings", "Missing", 5), 5);
  EXPECT_EQ(testsettings::ReadProfileInt(ini, "Absent", "AutoRun", 0), 0);
}

TEST(TestSettings, AKeyCountsOnlyWhenExactlyOne) {
  TempDir dir;
  ScopedTestProcess process;
  process.SettingsFile(dir / "qm_downloader.cfg");
  EXPECT_FALSE(IsAutoRun());  // no file: nothing set
  EXPECT_FALSE(IsTestEnv());
  EXPECT_FALSE(IsCrashTest());

  dir.Write("qm_downloader.cfg", "[Settings]\nAutoRun=1\nTestEnv=2\nCrashTest=true\n");
  EXPECT_TRUE(IsAutoRun());
  EXPECT_FALSE(IsTestEnv());
  EXPECT_FALSE(IsCrashTest());

  dir.Write("qm_downloader.cfg", "[Settings]\nTestEnv=1\nCrashTest=1\n");
  EXPECT_FALSE(IsAutoRun());
  EXPECT_TRUE(IsTestEnv());
  EXPECT_TRUE(IsCrashTest());
}

// A switch file that others may write (or a link to one) switches nothing.
TEST(TestSettings, OnlyAFileOthersCannotWriteCounts) {
  TempDir dir;
  ScopedTestProcess process;
  process.SettingsFile(dir / "qm_downloader.cfg");
  dir.Write("qm_downloader.cfg", "[Settings]\nAutoRun=1\n");
  for (const mode_t mode : {0666, 0620, 0602}) {
    chmod((dir / "qm_downloader.cfg").c_str(), mode);
    EXPECT_FALSE(IsAutoRun()) << std::oct << mode;
  }
  chmod((dir / "qm_downloader.cfg").c_str(), 0644);
  EXPECT_TRUE(IsAutoRun());
  dir.Write("real.cfg", "[Settings]\nAutoRun=1\n");
  std::filesystem::remove(dir / "qm_downloader.cfg");
  std::filesystem::create_symlink(dir / "real.cfg", dir / "qm_downloader.cfg");
  EXPECT_FALSE(IsAutoRun());
}

TEST(TestSettings, DefaultFileSitsBesideTheExecutable) {
  const std::string path = testsettings::SettingsFilePath();
  const std::string exe = platform::ExecutablePath();
  EXPECT_EQ(path, exe.substr(0, exe.rfind('/') + 1) + "qm_downloader.cfg");
}
