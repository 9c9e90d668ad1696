// The worker pool with real threads, files and processes.
#include <gtest/gtest.h>

#include <filesystem>

#include "CDownloadThreadManager.h"
#include "CTask.h"
#include "EngineFixture.h"
#include "support/Subprocess.h"
#include "support/WaitUntil.h"

namespace {

class WorkerPoolTest : public EngineTest {};

TEST_F(WorkerPoolTest, CompleteTasksNeedNoRequestAndIdleWorkersStop) {
  platform::Event stepDone;
  CDownloadThreadManager pool(dir_ / "pkg.bin", FastTimings());
  pool.setStepDoneEvent(&stepDone);
  ASSERT_EQ(pool.createThreads(2), 2);
  CTask a, b, c;
  for (CTask* t : {&a, &b, &c}) {
    t->StartPos = 0;
    t->EndPos = 10;
    t->DownloadedPos = 10;  // nothing left: no request, no URL needed
    t->TaskStatus = kTaskHandedOut;
  }
  EXPECT_EQ(pool.giveTaskToAThreadTodo(&a), 1);
  EXPECT_EQ(pool.giveTaskToAThreadTodo(&b), 1);
  // No idle worker left: the task stays handed out.
  EXPECT_EQ(pool.giveTaskToAThreadTodo(&c), 0);
  EXPECT_EQ(c.TaskStatus.load(), kTaskHandedOut);
  ASSERT_TRUE(WaitUntil([&] {
    return a.TaskStatus.load() == kTaskComplete && b.TaskStatus.load() == kTaskComplete;
  }));
  ASSERT_TRUE(WaitUntil([&] {
    pool.recycleIdleThreads();
    return !pool.hasBusyThreads();
  }));
  EXPECT_TRUE(pool.hasIdleThreads());
  EXPECT_EQ(pool.stopThreads(), 1);
  EXPECT_NE(log_.Text().find(" end wait threads exit"), std::string::npos);
}

TEST_F(WorkerPoolTest, PackageRunningAsAProgramIsEndedAndOpened) {
  // An earlier attempt's package still running keeps the file busy.
  const std::string package = dir_ / "setup.exe";
  std::filesystem::copy_file("/bin/sleep", package);
  std::filesystem::permissions(package, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  Subprocess running = Subprocess::Start({package, "30"});
  ASSERT_GT(running.pid, 0);
  // Wait until the program text is really mapped (exec done).
  const std::string exeLink = "/proc/" + std::to_string(running.pid) + "/exe";
  ASSERT_TRUE(WaitUntil([&] {
    std::error_code ec;
    return std::filesystem::read_symlink(exeLink, ec) == package;
  }));
  CDownloadThreadManager pool(package, FastTimings());
  EXPECT_EQ(pool.createThreads(1), 1);
  EXPECT_NE(log_.Text().find("local file is NULL error code = " + std::to_string(ETXTBSY)), std::string::npos);
  EXPECT_EQ(running.Wait(60000), 128 + SIGKILL);
}

}  // namespace
