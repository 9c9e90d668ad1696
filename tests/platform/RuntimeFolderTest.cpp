// The user's private runtime folder without $XDG_RUNTIME_DIR, and the lock
// file and window socket in it: made private, owner checked, links never
// followed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "platform/WindowProbe.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class RuntimeFolder : public ::testing::Test {
 protected:
  RuntimeFolder() { fs::create_directories(dir_ / "tmp"); }

  std::string Shared() const { return dir_ / ("tmp/quillmarch-" + std::to_string(geteuid())); }
  std::string Fallback() const { return dir_ / "cache/quillmarch/run"; }

  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xffffu;
  }
  static bool OwnedByMe(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && st.st_uid == geteuid();
  }

  TempDir dir_;
  ScopedEnv noRuntime_{"XDG_RUNTIME_DIR"};
  ScopedEnv tmp_{"TMPDIR", dir_ / "tmp"};
  ScopedEnv cache_{"XDG_CACHE_HOME", dir_ / "cache"};
};

}  // namespace

TEST_F(RuntimeFolder, IsMadePrivateInTheTemporaryFolder) {
  EXPECT_EQ(platform::RuntimeDir(), Shared());
  EXPECT_EQ(Mode(Shared()), 0700u);
  EXPECT_TRUE(OwnedByMe(Shared()));
  EXPECT_EQ(platform::InstanceLock::PathFor("KLM_Downloader_1"), Shared() + "/KLM_Downloader_1.lock");
  EXPECT_EQ(platform::WindowSocketPath("KLM_window"), Shared() + "/KLM_window.sock");
}

TEST_F(RuntimeFolder, AFolderOfOursWithLooserRightsIsTightened) {
  fs::create_directory(Shared());
  chmod(Shared().c_str(), 0777);
  EXPECT_EQ(platform::RuntimeDir(), Shared());
  EXPECT_EQ(Mode(Shared()), 0700u);
}

TEST_F(RuntimeFolder, ANameTakenBySomeoneElseIsNeverUsed) {
  const struct {
    const char* what;
    std::function<bool()> plant;  // false: cannot be set up here
  } cases[] = {
      {"a link to a folder",
       [&] {
         fs::create_directory(dir_ / "elsewhere");
         fs::create_directory_symlink(dir_ / "elsewhere", Shared());
         return true;
       }},
      {"a plain file", [&] {
         dir_.Write("tmp/quillmarch-" + std::to_string(geteuid()), "x");
         return true;
       }},
      {"another user's folder", [&] {
         fs::create_directory(Shared());
         return chown(Shared().c_str(), 65534, 65534) == 0;
       }},
  };
  for (const auto& c : cases) {
    std::error_code ec;
    fs::remove_all(Shared(), ec);
    if (!c.plant()) {
      std::printf("skipped \"%s\": cannot give a folder away as this user\n", c.what);
      continue;
    }
    EXPECT_EQ(platform::RuntimeDir(), Fallback()) << c.what;
    EXPECT_EQ(Mode(Fallback()), 0700u) << c.what;
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere/KLM_Downloader_2.lock")) << c.what;
    platform::InstanceLock lock;
    bool existed = true;
    EXPECT_TRUE(lock.Create("KLM_Downloader_2", existed)) << c.what;
    EXPECT_FALSE(existed) << c.what;
    EXPECT_TRUE(fs::exists(Fallback() + "/KLM_Downloader_2.lock")) << c.what;
    fs::remove(Fallback() + "/KLM_Downloader_2.lock", ec);
  }
}

TEST_F(RuntimeFolder, ALinkUnderTheLockNameIsNotFollowed) {
  const std::string lockPath = platform::InstanceLock::PathFor("KLM_Downloader_3");
  ASSERT_EQ(lockPath, Shared() + "/KLM_Downloader_3.lock");
  fs::create_symlink(dir_ / "victim", lockPath);
  platform::InstanceLock lock;
  bool existed = false;
  EXPECT_FALSE(lock.Create("KLM_Downloader_3", existed));
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(fs::exists(dir_ / "victim"));

  fs::remove(lockPath);
  EXPECT_TRUE(lock.Create("KLM_Downloader_3", existed));
  EXPECT_TRUE(lock.Held());
  EXPECT_EQ(Mode(lockPath), 0600u);
  EXPECT_EQ(TempDir::ReadAbsolute(lockPath), std::to_string(getpid()) + "\n");
}
