// Finding and ending processes by the file they run, with real processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "FuntionImpl.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

// Every test works in a folder of its own, and each helper ("*.tmp") has a
// name no other test uses: tests may run in parallel processes, and the
// installer-helper rule reaches every helper of that name on the machine.
class FindProcessTest : public ::testing::Test {
 protected:
  ~FindProcessTest() override {
    for (pid_t pid : running_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // A copy of sleep under the given name, so the process runs that file.
  std::string Install(const std::string& relative) {
    const std::string path = dir_ / relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::copy_file("/bin/sleep", path);
    return path;
  }

  pid_t Start(const std::string& path) {
    std::string program = path, seconds = "600";
    char* argv[] = {program.data(), seconds.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    running_.insert(pid);
    return pid;
  }

  bool IsRunning(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

  // Blocks until the process ends; the signal that ended it, or 0.
  int ReapSignal(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return 0;
    running_.erase(pid);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }

  TempDir dir_;
  std::set<pid_t> running_;
};

TEST_F(FindProcessTest, WithoutKillReportsTheProcessAndLeavesItRunning) {
  const std::string exe = Install("pkg/app_setup.exe");
  const pid_t pid = Start(exe);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(exe, false, false), pid);
  EXPECT_TRUE(IsRunning(pid));
}

TEST_F(FindProcessTest, WithKillEndsTheProcess) {
  const std::string exe = Install("pkg/app_setup.exe");
  const pid_t pid = Start(exe);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(exe, true, false), pid);
  EXPECT_EQ(ReapSignal(pid), SIGKILL);
}

TEST_F(FindProcessTest, PathsCompareWithoutCaseAndThroughLinks) {
  const std::string exe = Install("Pkg/App_Setup.exe");
  std::filesystem::create_directory_symlink(dir_ / "Pkg", dir_ / "link");
  const pid_t pid = Start(exe);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(dir_ / "PKG/APP_SETUP.EXE", false, false), pid);
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(dir_ / "link/App_Setup.exe", false, false), pid);
}

TEST_F(FindProcessTest, InstallerHelperIsEndedButTheSameNameElsewhereIsNot) {
  const std::string exe = Install("pkg/app_setup.exe");
  const std::string helper = Install("is-helper/app_setup.tmp");
  const std::string other = Install("other/app_setup.exe");
  ASSERT_EQ(other.find(".tmp"), std::string::npos) << "the other folder must not look like a helper's";
  const pid_t exePid = Start(exe), helperPid = Start(helper), otherPid = Start(other);
  ASSERT_GT(exePid, 0);
  ASSERT_GT(helperPid, 0);
  ASSERT_GT(otherPid, 0);

  const int found = FuntionImpl::FindProcessByFullPath(exe, true, true);
  EXPECT_TRUE(found == exePid || found == helperPid) << found;
  EXPECT_EQ(ReapSignal(exePid), SIGKILL);
  EXPECT_EQ(ReapSignal(helperPid), SIGKILL);
  EXPECT_TRUE(IsRunning(otherPid));
}

TEST_F(FindProcessTest, WithoutInstallerFlagTheHelperStaysAndOnlyTheFirstMatchEnds) {
  const std::string exe = Install("pkg/solo_setup.exe");
  const std::string helper = Install("is-helper/solo_setup.tmp");
  const pid_t first = Start(exe), second = Start(exe), helperPid = Start(helper);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  ASSERT_GT(helperPid, 0);

  const int found = FuntionImpl::FindProcessByFullPath(exe, true, false);
  ASSERT_TRUE(found == first || found == second) << found;
  EXPECT_EQ(ReapSignal(found), SIGKILL);
  EXPECT_TRUE(IsRunning(found == first ? second : first));
  EXPECT_TRUE(IsRunning(helperPid));
}

TEST_F(FindProcessTest, NoMatchGivesMinusOne) {
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(dir_ / "pkg/nothing_runs_this.exe", true, true), -1);
}

}  // namespace
