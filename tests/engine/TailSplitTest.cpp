// Idle workers sharing in-flight slices, through whole download runs and a
// real process killed while slices are shared.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>

#include "DownLoadImpl.h"
#include "EngineFixture.h"
#include "SavedTasks.h"
#include "SliceRules.h"
#include "support/Subprocess.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"

namespace {

constexpr std::int64_t MiB = 1048576;

// A range asked by a helper starts inside a slice, off the 4 MiB grid.
bool IsHelperRange(const std::string& range) { return std::stoll(range.substr(6)) % kSliceSize != 0; }

int HelperRanges(const std::vector<std::string>& ranges) {
  int n = 0;
  for (const auto& range : ranges) n += IsHelperRange(range) ? 1 : 0;
  return n;
}

class TailSplitTest : public EngineTest {
 protected:
  int Run(DownloadTimings timings = FastTimings(), bool packageFlag = true) {
    CDownLoadImpl engine(std::move(timings));
    std::string cdnReport;
    return engine.SuperDownloadFile(server_.Url(path_), package_, cdnReport, packageFlag);
  }

  // Every byte a saved task calls downloaded is in the package as served.
  void ExpectSavedPrefixesOnDisk(const std::vector<SavedTask>& tasks) {
    const std::string content = ReadFile(package_);
    for (const SavedTask& t : tasks) {
      const std::int64_t n = t.downloaded - t.start;
      ASSERT_GE(n, 0);
      ASSERT_LE(t.start + n, static_cast<std::int64_t>(content.size())) << "slice at " << t.start;
      EXPECT_TRUE(content.compare(static_cast<std::size_t>(t.start), static_cast<std::size_t>(n),
                                  GeneratedBytes(t.start, static_cast<std::size_t>(n))) == 0)
          << "slice at " << t.start << " claims " << n << " bytes";
    }
  }

  TestHttpServer server_;
  std::string path_ = UniquePath("setup.exe");
  std::string package_ = dir_ / "setup.exe";
  std::string info_ = dir_ / "setup.exe.xml";
};

TEST_F(TailSplitTest, IdleWorkersShareTheLastSlicesAndTheFileIsRight) {
  const std::int64_t length = 8 * MiB + 555;
  ServeOptions slow;
  slow.bytesPerSecond = 4 * MiB;
  server_.ServeGenerated(path_, length, slow);
  EXPECT_EQ(Run(), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
  EXPECT_GE(HelperRanges(server_.RangesAsked(path_)), 2);
  EXPECT_NE(log_.Text().find(" Tasks info, split, id = "), std::string::npos);
  // No error is logged for a transfer that a split ended on purpose.
  EXPECT_EQ(log_.Text().find("Write Error"), std::string::npos);
  EXPECT_NE(ReadFile(info_).find("<DownloadedPos>" + std::to_string(length) + "</DownloadedPos>"), std::string::npos);
}

TEST_F(TailSplitTest, FailedHelperIsFinishedByTheRetryRules) {
  const std::int64_t length = 8 * MiB + 555;
  ServeOptions helperFails;
  helperFails.bytesPerSecond = 4 * MiB;
  helperFails.failOffGrid = kSliceSize;
  helperFails.failOffGridTimes = 2;
  server_.ServeGenerated(path_, length, helperFails);
  EXPECT_EQ(Run(), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
  EXPECT_NE(log_.Text().find("download fail("), std::string::npos);
  // The failed helper ranges were asked again later, from where they start.
  const auto ranges = server_.RangesAsked(path_);
  int askedTwice = 0;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (!IsHelperRange(ranges[i])) continue;
    const std::string from = ranges[i].substr(0, ranges[i].find('-') + 1);
    for (std::size_t j = i + 1; j < ranges.size(); ++j) askedTwice += ranges[j].rfind(from, 0) == 0 ? 1 : 0;
  }
  EXPECT_GE(askedTwice, 1);
}

TEST_F(TailSplitTest, NoProgressLimitFiresWhenEveryWorkerStalls) {
  const std::int64_t length = 8 * MiB + 555;
  ServeOptions stall;
  stall.stallAfterBytes = 300000;
  server_.ServeGenerated(path_, length, stall);
  EXPECT_EQ(Run(), NoProgress);
  // Helpers stalled too, and none of their bytes count as the slice's prefix.
  EXPECT_GE(HelperRanges(server_.RangesAsked(path_)), 2);
  const auto saved = ReadSavedTasks(info_);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].downloaded, 300000);
  EXPECT_EQ(saved[1].downloaded, kSliceSize + 300000);
  ExpectSavedPrefixesOnDisk(saved);
  server_.SetOptions(path_, {});
  EXPECT_EQ(Run(), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
}

TEST_F(TailSplitTest, SliceIsNeverSplitBelowTheMinimum) {
  const struct {
    std::int64_t length;
    bool split;
  } cases[] = {
      {MiB - 1, false},  // one byte short of the minimum below
      {3 * MiB / 2, true},
  };
  for (const auto& c : cases) {
    path_ = UniquePath("small.bin");
    ServeOptions slow;
    slow.bytesPerSecond = MiB;
    server_.ServeGenerated(path_, c.length, slow);
    std::filesystem::remove(package_);
    std::filesystem::remove(info_);
    DownloadTimings timings = FastTimings();
    timings.splitMinimumBytes = MiB;
    EXPECT_EQ(Run(timings, false), Completed) << c.length;
    EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(c.length)) << c.length;
    EXPECT_EQ(HelperRanges(server_.RangesAsked(path_)) > 0, c.split) << c.length;
  }
}

TEST_F(TailSplitTest, SigkillWhileSlicesAreSharedResumesToTheRightFile) {
  const std::int64_t length = 8 * MiB + 555;
  ServeOptions slow;
  slow.bytesPerSecond = MiB;
  server_.ServeGenerated(path_, length, slow);
  const std::vector<std::string> argv = {QM_FETCH_EXE, server_.Url(path_), package_, "--rounds", "1", "--offline-ok"};
  Subprocess first = Subprocess::Start(argv, {}, dir_ / "first.out");
  ASSERT_GT(first.pid, 0);
  // Kill once a helper has written bytes beyond its slice's prefix (the
  // package then reaches into the second slice's upper half) and the list
  // has been saved.
  std::error_code ec;
  const auto ready = [&] {
    const auto size = std::filesystem::file_size(package_, ec);
    return !ec && size > static_cast<std::uintmax_t>(kSliceSize + 2 * MiB + 100000) &&
           std::filesystem::file_size(info_, ec) > 0 && !ec && HelperRanges(server_.RangesAsked(path_)) >= 2;
  };
  ASSERT_TRUE(WaitUntil(ready));
  first.Kill(SIGKILL);
  EXPECT_EQ(first.Wait(10000), 128 + SIGKILL);

  // The list claims only what is on disk from each slice's start.
  const auto saved = ReadSavedTasks(info_);
  ASSERT_EQ(saved.size(), 2u);
  ExpectSavedPrefixesOnDisk(saved);
  EXPECT_LT(saved[1].downloaded, kSliceSize + 2 * MiB);

  server_.SetOptions(path_, {});
  Subprocess second = Subprocess::Start(argv, {}, dir_ / "second.out");
  EXPECT_EQ(second.Wait(120000), 0) << ReadFile(dir_ / "second.out");
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
}

}  // namespace
