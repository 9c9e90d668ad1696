// The work folder turns read-only between runs; the package file is deleted
// under a running download.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "engine/EngineFixture.h"
#include "faults/SavedTaskInfo.h"
#include "faults/TmpfsMount.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMiB = 1048576;

class FolderFaultsTest : public EngineTest {};

TEST_F(FolderFaultsTest, ReadOnlyFolderEndsTheRoundAsUnopenableAndKeepsTheSavedState) {
  std::string why;
  const std::string work = dir_ / "work";
  auto disk = TmpfsMount::Create(work, 64 * kMiB, why);
  if (disk == nullptr) GTEST_SKIP() << why;

  TestHttpServer server;
  const std::string path = UniquePath("setup.exe");
  const std::int64_t length = 12 * kMiB + 5;
  ServeOptions stall;
  stall.stallAfterBytes = kMiB;  // each slice gets its first MiB, then the server holds
  server.ServeGenerated(path, length, stall);
  const std::string package = work + "/setup.exe";
  std::string cdn;
  ASSERT_EQ(CDownLoadImpl(StallTimings()).SuperDownloadFile(server.Url(path), package, cdn, true), NoProgress);
  const std::string infoBefore = ReadFile(package + ".xml");
  const std::string packageBefore = ReadFile(package);
  ASSERT_TRUE(SavedTaskInfo::Read(package + ".xml").parsed);

  // A remount cannot turn a filesystem read-only under a writer, so the
  // folder turns read-only while no run holds the package open.
  ASSERT_TRUE(disk->SetReadOnly(true));
  server.SetOptions(path, {});
  EXPECT_EQ(CDownLoadImpl(FastTimings()).SuperDownloadFile(server.Url(path), package, cdn, true), OpenFileFailed);
  EXPECT_NE(log_.Text().find("local file is NULL error code = " + std::to_string(EROFS)), std::string::npos);
  EXPECT_EQ(ReadFile(package + ".xml"), infoBefore);
  EXPECT_EQ(ReadFile(package), packageBefore);

  ASSERT_TRUE(disk->SetReadOnly(false));
  EXPECT_EQ(CDownLoadImpl(FastTimings()).SuperDownloadFile(server.Url(path), package, cdn, true), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package), GeneratedMd5(length));
}

// With and without the package check of the install flow.
class DeletedPackageTest : public FolderFaultsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DeletedPackageTest, RoundFailsAndTheNextRunStartsOver) {
  const bool packageFlag = GetParam();
  TestHttpServer server;
  const std::string path = UniquePath("setup.exe");
  const std::int64_t length = 16 * kMiB + 9;
  ServeOptions slow;
  slow.bytesPerSecond = kMiB;  // four seconds with four workers: time to delete the file mid-way
  server.ServeGenerated(path, length, slow);
  const std::string package = dir_ / "setup.exe";

  int first = 0;
  std::thread run([&] {
    std::string cdn;
    first = CDownLoadImpl(FastTimings()).SuperDownloadFile(server.Url(path), package, cdn, packageFlag);
  });
  // Delete once a saved task list records progress.
  const bool saved = WaitUntil([&] { return SavedTaskInfo::Read(package + ".xml").parsed; });
  std::error_code ec;
  fs::remove(package, ec);
  server.SetOptions(path, {});
  run.join();
  ASSERT_TRUE(saved);
  EXPECT_NE(first, Completed);
  EXPECT_FALSE(fs::exists(package));

  const std::size_t askedBefore = server.RangesAsked(path).size();
  std::string cdn;
  EXPECT_EQ(CDownLoadImpl(FastTimings()).SuperDownloadFile(server.Url(path), package, cdn, packageFlag), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package), GeneratedMd5(length));
  // Started over: every slice asked again from its first byte.
  int fromSliceStart = 0;
  const auto ranges = server.RangesAsked(path);
  for (std::size_t i = askedBefore; i < ranges.size(); ++i) {
    if (std::stoll(ranges[i].substr(6)) % kSliceSize == 0) ++fromSliceStart;
  }
  EXPECT_GE(fromSliceStart, 4);
}

INSTANTIATE_TEST_SUITE_P(PackageCheck, DeletedPackageTest, ::testing::Bool());

}  // namespace
