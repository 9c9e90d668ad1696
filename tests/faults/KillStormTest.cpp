// The download process killed with SIGKILL at a hundred random moments: the
// task-info file it leaves is always whole, and the package ends right.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "DownLoadImpl.h"
#include "engine/EngineFixture.h"
#include "faults/SavedTaskInfo.h"
#include "support/Subprocess.h"
#include "support/TestHttpServer.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMiB = 1048576;
constexpr int kKills = 100;
constexpr unsigned kSeed = 20261210;

class KillStormTest : public EngineTest {};

std::int64_t SizeOrMinusOne(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

TEST_F(KillStormTest, TaskInfoIsNeverBrokenAndThePackageEndsWithTheRightMd5) {
  TestHttpServer server;
  const std::string path = UniquePath("setup.exe");
  const std::int64_t length = 12 * kMiB + 777;
  ServeOptions paced;
  paced.bytesPerSecond = 4 * kMiB;  // a whole download spans many kills
  server.ServeGenerated(path, length, paced);
  const std::string package = dir_ / "setup.exe";
  const std::vector<std::string> argv = {QM_FETCH_EXE, server.Url(path), package, "--rounds", "1", "--offline-ok"};

  std::mt19937 random(kSeed);
  std::uniform_int_distribution<int> moment(0, 400);
  int finishedBeforeKill = 0;
  int killedWhileSaving = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    Subprocess fetch = Subprocess::Start(argv, {}, dir_ / "fetch.out");
    ASSERT_GT(fetch.pid, 0);
    // The kill moment is the point of this test, not a wait for a condition.
    // Moments on the clock, not points of the download's progress, are what
    // reach the start-up saves before the first byte arrives.
    std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
    fetch.Kill(SIGKILL);
    const int status = fetch.Wait(60000);
    ASSERT_TRUE(status == 128 + SIGKILL || status == 0) << "kill " << kill << ": " << status << "\n"
                                                        << ReadFile(dir_ / "fetch.out");
    if (fs::exists(package + ".xml.tmp")) ++killedWhileSaving;
    const SavedTaskInfo saved = SavedTaskInfo::Read(package + ".xml");
    if (saved.fileSize >= 0) {
      ASSERT_TRUE(saved.parsed) << "kill " << kill << " left a task-info file of " << saved.fileSize << " bytes";
      ASSERT_EQ(saved.contentLength, length);
      ASSERT_TRUE(TaskListConsistent(saved.slices, length, SizeOrMinusOne(package)))
          << "kill " << kill << ": the task-info file claims bytes the package lacks";
    }
    if (status == 0) {
      // Finished before its kill: check it, then download afresh.
      ++finishedBeforeKill;
      ASSERT_EQ(CDownLoadImpl::FileMd5(package), GeneratedMd5(length)) << "kill " << kill;
      for (const char* suffix : {"", ".xml", ".db"}) fs::remove(package + suffix);
    }
  }
  RecordProperty("finished_before_kill", finishedBeforeKill);
  RecordProperty("killed_while_saving", killedWhileSaving);

  server.SetOptions(path, {});
  Subprocess last = Subprocess::Start(argv, {}, dir_ / "last.out");
  EXPECT_EQ(last.Wait(300000), 0) << ReadFile(dir_ / "last.out");
  EXPECT_EQ(CDownLoadImpl::FileMd5(package), GeneratedMd5(length));
}

}  // namespace
