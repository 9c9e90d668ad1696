// The registry store: values, damaged files and concurrent writers.
#include "platform/RegistryStore.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "FuntionImpl.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"
#include "support/ScopedEnv.h"

namespace {

constexpr const char* kKey = "SOFTWARE\\Quillmarch\\Downloader2.5.0";

TEST(RegistryStore, ValuesSurviveExactly) {
  TempDir dir;
  const platform::RegistryStore store(dir / "hive");
  const std::string values[] = {"1", "", "say \"hi\"", "two\nlines\r\n", "back\\slash", "日本語 ✓",
                                std::string("nul\0inside", 10)};
  for (const std::string& value : values) {
    ASSERT_TRUE(store.Set(kKey, "GA_PC", value));
    EXPECT_EQ(platform::RegistryStore(dir / "hive").Get(kKey, "GA_PC"), value);
  }
}

TEST(RegistryStore, KeysAndNamesAreSeparateAndExact) {
  TempDir dir;
  const platform::RegistryStore store(dir / "hive");
  ASSERT_TRUE(store.Set(kKey, "GA_PC", "1"));
  ASSERT_TRUE(store.Set(kKey, "Language", "ja"));
  ASSERT_TRUE(store.Set("SOFTWARE\\Other", "GA_PC", "2"));
  EXPECT_EQ(store.Get(kKey, "GA_PC"), "1");
  EXPECT_EQ(store.Get(kKey, "Language"), "ja");
  EXPECT_EQ(store.Get("SOFTWARE\\Other", "GA_PC"), "2");
  EXPECT_EQ(store.Get("software\\other", "GA_PC"), "");
  EXPECT_EQ(store.Get(kKey, "Missing"), "");
  EXPECT_EQ(platform::RegistryStore(dir / "absent").Get(kKey, "GA_PC"), "");
}

TEST(RegistryStore, DamagedFileReadsEmptyAndTheNextWriteRepairsIt) {
  const std::string damaged[] = {
      "not json",
      "{\"SOFTWARE\\\\Quillmarch\\\\Downloader2.5.0\": {\"GA_PC\": \"1\"",  // cut off
      "[1, 2]",
      "{\"SOFTWARE\\\\Quillmarch\\\\Downloader2.5.0\": 5}",
      "{\"SOFTWARE\\\\Quillmarch\\\\Downloader2.5.0\": {\"GA_PC\": 5}}",
      std::string(100000, '['),  // nesting deep enough to make a parser give up
  };
  for (const std::string& content : damaged) {
    TempDir dir;
    dir.Write("hive", content);
    const platform::RegistryStore store(dir / "hive");
    EXPECT_EQ(store.Get(kKey, "GA_PC"), "") << content.substr(0, 80);
    ASSERT_TRUE(store.Set(kKey, "Language", "de")) << content.substr(0, 80);
    EXPECT_EQ(store.Get(kKey, "Language"), "de") << content.substr(0, 80);
    EXPECT_EQ(store.Get(kKey, "GA_PC"), "") << content.substr(0, 80);
  }
}

TEST(RegistryStore, WritesLeaveNoTemporaryFiles) {
  TempDir dir;
  const platform::RegistryStore store(dir / "sub/hive");
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(store.Set(kKey, "n" + std::to_string(i), "v"));
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "sub")) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"hive", "hive.lock"}));
}

TEST(RegistryStore, UnwritablePlaceFailsQuietly) {
  TempDir dir;
  dir.Write("file", "x");
  EXPECT_FALSE(platform::RegistryStore(dir / "file/hive").Set(kKey, "GA_PC", "1"));
  EXPECT_EQ(platform::RegistryStore(dir / "file/hive").Get(kKey, "GA_PC"), "");
}

void WriteMany(const std::string& file, const std::string& prefix, int count, bool& allStored) {
  const platform::RegistryStore store(file);
  allStored = true;
  for (int i = 0; i < count; ++i) allStored = store.Set(kKey, prefix + std::to_string(i), prefix) && allStored;
}

void ExpectAll(const std::string& file, const std::string& prefix, int count) {
  const platform::RegistryStore store(file);
  for (int i = 0; i < count; ++i) EXPECT_EQ(store.Get(kKey, prefix + std::to_string(i)), prefix) << prefix << i;
}

TEST(RegistryStore, ConcurrentWritersInThreadsKeepEachOthersValues) {
  TempDir dir;
  const std::string file = dir / "hive";
  bool firstStored = false, secondStored = false;
  std::thread first(WriteMany, file, "a", 60, std::ref(firstStored));
  std::thread second(WriteMany, file, "b", 60, std::ref(secondStored));
  first.join();
  second.join();
  EXPECT_TRUE(firstStored);
  EXPECT_TRUE(secondStored);
  ExpectAll(file, "a", 60);
  ExpectAll(file, "b", 60);
}

TEST(RegistryStore, ConcurrentWriterInAnotherProcessKeepsEachOthersValues) {
  TempDir dir;
  const std::string file = dir / "hive";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool stored = false;
    WriteMany(file, "child", 60, stored);
    _exit(stored ? 0 : 1);
  }
  bool stored = false;
  WriteMany(file, "parent", 60, stored);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(stored);
  ExpectAll(file, "child", 60);
  ExpectAll(file, "parent", 60);
}

class RegistryHivesTest : public ::testing::Test {
 protected:
  RegistryHivesTest() { process_.RegistryRoot(dir_.path()); }
  TempDir dir_;
  ScopedTestProcess process_;
};

TEST_F(RegistryHivesTest, MachineAndUserHivesAreSeparateFiles) {
  EXPECT_EQ(platform::MachineHivePath(), dir_ / "registry-hklm");
  EXPECT_EQ(platform::UserHivePath(), dir_ / "registry-hkcu");
  EXPECT_EQ(RegGetString(kKey, "GA_PC"), "");
  ASSERT_TRUE(RegSetString(kKey, "GA_PC", "1"));
  ASSERT_TRUE(RegSetStringUser(kKey, "GA_PC", "user"));
  EXPECT_EQ(RegGetString(kKey, "GA_PC"), "1");
  EXPECT_EQ(RegGetStringUser(kKey, "GA_PC"), "user");
}

TEST(RegistryHives, UserHiveFollowsXdgConfigHome) {
  TempDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir.path());
  EXPECT_EQ(platform::UserHivePath(), dir / "quillmarch/registry-hkcu");
}

}  // namespace
