// The disk fills up in the middle of a download, then space comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "engine/EngineFixture.h"
#include "faults/FileSizeLimit.h"
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

// The full disk as a size-limited filesystem (where this machine lets the
// test mount one), and as a file-size limit of the process.
class DiskFullKinds : public DiskFullTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DiskFullKinds, RoundEndsWithAResultTaskInfoStaysValidAndTheNextRunSkipsFinishedSlices) {
  const bool mounted = GetParam();
  const std::string work = dir_ / "work";
  std::unique_ptr<TmpfsMount> disk;
  std::unique_ptr<FileSizeLimit> limit;
  if (mounted) {
    std::string why;
    // Larger than the package (a package larger than the whole disk is a
    // failed probe), but a filler leaves only about 10 MiB free.
    disk = TmpfsMount::Create(work, 24 * kMiB, why);
    if (disk == nullptr) GTEST_SKIP() << why;
    std::ofstream(work + "/filler", std::ios::binary) << std::string(14 * kMiB, 'f');
  } else {
    std::filesystem::create_directories(work);
  }

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
  if (!mounted) {
    limit = std::make_unique<FileSizeLimit>(10 * kMiB);
    ASSERT_TRUE(limit->Active());
  }
  EXPECT_EQ(CDownLoadImpl(full).SuperDownloadFile(server.Url(path), package, cdn, true), NoProgress);
  if (limit != nullptr) limit->Lift();
  EXPECT_NE(log_.Text().find("Write Error"), std::string::npos);
  EXPECT_NE(log_.Text().find("too long no speed"), std::string::npos);

  const SavedTaskInfo saved = SavedTaskInfo::Read(package + ".xml");
  ASSERT_TRUE(saved.parsed) << "task-info file of " << saved.fileSize << " bytes";
  EXPECT_EQ(saved.contentLength, length);
  EXPECT_TRUE(TaskListConsistent(saved.slices, length, static_cast<std::int64_t>(std::filesystem::file_size(package))));
  const std::vector<std::int64_t> finished = saved.CompleteSliceStarts();
  EXPECT_GE(finished.size(), 1u);

  const std::size_t askedBefore = server.RangesAsked(path).size();
  if (disk != nullptr) {
    ASSERT_TRUE(std::filesystem::remove(work + "/filler"));
  }
  EXPECT_EQ(CDownLoadImpl(FastTimings()).SuperDownloadFile(server.Url(path), package, cdn, true), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package), GeneratedMd5(length));
  for (const std::int64_t from : RangeStartsFrom(server.RangesAsked(path), askedBefore)) {
    for (const std::int64_t start : finished) {
      EXPECT_FALSE(from >= start && from < start + kSliceSize) << "finished slice at " << start << " asked again";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(MountedOrLimited, DiskFullKinds, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& kind) {
                           return kind.param ? "SizeLimitedFilesystem" : "FileSizeLimit";
                         });

}  // namespace
