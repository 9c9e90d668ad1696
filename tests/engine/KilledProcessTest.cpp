// The download as its own process, killed mid-download and started again.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include <tinyxml2.h>

#include "DownLoadImpl.h"
#include "EngineFixture.h"
#include "support/Subprocess.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"

namespace {

class KilledProcessTest : public EngineTest {};

// A task-info file that parses whole and records at least one downloaded byte.
bool InfoRecordsBytes(const std::string& infoPath) {
  tinyxml2::XMLDocument doc;
  if (doc.LoadFile(infoPath.c_str()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr) return false;
  for (const auto* task = doc.RootElement()->FirstChildElement("Task"); task != nullptr;
       task = task->NextSiblingElement("Task")) {
    const auto* start = task->FirstChildElement("StartPos");
    const auto* done = task->FirstChildElement("DownloadedPos");
    if (start != nullptr && done != nullptr && done->Int64Text(0) > start->Int64Text(0)) return true;
  }
  return false;
}

TEST_F(KilledProcessTest, SigkillMidDownloadThenRestartFinishesWithTheRightMd5) {
  TestHttpServer server;
  const std::string path = UniquePath("setup.exe");
  const std::int64_t length = 20 * 1048576 + 555;
  ServeOptions slow;
  slow.bytesPerSecond = 1 << 19;  // the whole file takes ten seconds: time to kill mid-way
  server.ServeGenerated(path, length, slow);
  const std::string package = dir_ / "setup.exe";
  const std::vector<std::string> argv = {QM_FETCH_EXE, server.Url(path), package, "--rounds", "1", "--offline-ok"};

  Subprocess first = Subprocess::Start(argv, {}, dir_ / "first.out");
  ASSERT_GT(first.pid, 0);
  // Kill once a saved task-info file records downloaded bytes.
  ASSERT_TRUE(WaitUntil([&] { return InfoRecordsBytes(package + ".xml"); })) << ReadFile(dir_ / "first.out");
  first.Kill(SIGKILL);
  EXPECT_EQ(first.Wait(60000), 128 + SIGKILL);
  ASSERT_TRUE(std::filesystem::exists(package + ".xml"));
  const auto partial = std::filesystem::file_size(package);
  EXPECT_GT(partial, 0u);

  server.SetOptions(path, {});
  Subprocess second = Subprocess::Start(argv, {}, dir_ / "second.out");
  EXPECT_EQ(second.Wait(300000), 0) << ReadFile(dir_ / "second.out");
  EXPECT_NE(ReadFile(dir_ / "second.out").find("result 1"), std::string::npos);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package), GeneratedMd5(length));
  // The restart resumed: some slice was asked from past its start.
  bool resumed = false;
  for (const auto& range : server.RangesAsked(path)) {
    const auto from = std::stoll(range.substr(6));
    resumed = resumed || from % 4194304 != 0;
  }
  EXPECT_TRUE(resumed);
}

}  // namespace
