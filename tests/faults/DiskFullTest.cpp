// The disk fills up in the middle of a download, then space comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "engine/EngineFixture.h"
#include "faults/SavedTaskInfo.h"
#include "faults/TmpfsMount.h"
#include "support/TestHttpServer.h"

namespace {

constexpr std::int64_t kMiB = 1048576;

class DiskFullTest : public EngineTest {};

// Every range asked from start onwards.
std::vector<std::int64_t> RangeStartsFrom(const std::vector<std::string>& ranges, std::size_t first) {
  std::vector<std::int64_t> starts;
  for (std::size_t i = first; i < ranges.size(); ++i) starts.push_back(std::stoll(ranges[i].substr(6)));
  return starts;
}

TEST_F(DiskFullTest, RoundEndsWithAResultTaskInfoStaysValidAndTheNextRunSkipsFinishedSlices) {
  std::string why;
  const std::string work = dir_ / "work";
  auto disk = TmpfsMount::Create(work, 10 * kMiB, why);
  if (disk == nullptr) GTEST_SKIP() << why;

  TestHttpServer server;
  const std::string path = UniquePath("setup.exe");
  const std::int64_t length = 16 * kMiB + 100;  // four slices; the disk holds about two and a half
  server.ServeGenerated(path, length);
  const std::string package = work + "/setup.exe";

  // One worker fills the slices in order, so the full disk meets the third.
  DownloadTimings full = FastTimings();
  full.workerCount = 1;
  full.noProgressMs = 3000;
  std::string cdn;
  EXPECT_EQ(CDownLoadImpl(full).SuperDownloadFile(server.Url(path), package, cdn, true), NoProgress);
  EXPECT_NE(log_.Text().find("Write Error"), std::string::npos);
  EXPECT_NE(log_.Text().find("too long no speed"), std::string::npos);

  const SavedTaskInfo saved = SavedTaskInfo::Read(package + ".xml");
  ASSERT_TRUE(saved.parsed) << "task-info file of " << saved.fileSize << " bytes";
  EXPECT_EQ(saved.contentLength, length);
  EXPECT_TRUE(TaskListConsistent(saved.slices, length, static_cast<std::int64_t>(std::filesystem::file_size(package))));
  const std::vector<std::int64_t> finished = saved.CompleteSliceStarts();
  EXPECT_GE(finished.size(), 1u);

  const std::size_t askedBefore = server.RangesAsked(path).size();
  ASSERT_TRUE(disk->Resize(64 * kMiB));
  EXPECT_EQ(CDownLoadImpl(FastTimings()).SuperDownloadFile(server.Url(path), package, cdn, true), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package), GeneratedMd5(length));
  for (const std::int64_t from : RangeStartsFrom(server.RangesAsked(path), askedBefore)) {
    for (const std::int64_t start : finished) {
      EXPECT_FALSE(from >= start && from < start + kSliceSize) << "finished slice at " << start << " asked again";
    }
  }
}

}  // namespace
