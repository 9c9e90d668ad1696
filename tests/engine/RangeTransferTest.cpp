// One worker step (a ranged GET of a task's remaining bytes) against a real
// loopback server, on a real package file.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>

#include "CDownloadThread.h"
#include "CLibcurlTool.h"
#include "CTask.h"
#include "EngineFixture.h"
#include "support/TestHttpServer.h"

namespace {

constexpr std::int64_t kLength = 10485760 + 4321;  // two slices, the last with a remainder
constexpr char kUntouched = '\xEE';

class RangeTransferTest : public EngineTest {
 protected:
  // Runs one step for the slice [start, end] with DownloadedPos at `from`
  // into a package prefilled with kUntouched.
  void Step(std::int64_t start, std::int64_t end, std::int64_t from, DownloadTimings timings = FastTimings()) {
    package_ = dir_ / "package.bin";
    std::FILE* file = std::fopen(package_.c_str(), "wb+");
    const std::string fill(static_cast<std::size_t>(kLength), kUntouched);
    std::fwrite(fill.data(), 1, fill.size(), file);
    std::fflush(file);
    task_.StartPos = start;
    task_.EndPos = end;
    task_.DownloadedPos = from;
    task_.ContentLength = kLength;
    task_.TaskId = start == 0 ? 1 : 2;
    task_.LogFlag = 1;
    task_.RemotePath = server_.Url(path_);
    task_.TaskStatus = kTaskHandedOut;
    CDownloadThread worker(&mutex_, file, timings);
    worker.doTask(&task_);
    worker.taskBusiness();
    std::fclose(file);
    content_ = ReadFile(package_);
  }

  bool Untouched(std::int64_t from, std::int64_t to) const {
    for (std::int64_t i = from; i < to; ++i) {
      if (content_[static_cast<std::size_t>(i)] != kUntouched) return false;
    }
    return true;
  }

  bool Served(std::int64_t from, std::int64_t to) const {
    return content_.compare(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from),
                            GeneratedBytes(from, static_cast<std::size_t>(to - from))) == 0;
  }

  TestHttpServer server_;
  std::string path_ = UniquePath("package.bin");
  std::string package_;
  std::string content_;
  std::timed_mutex mutex_;
  CTask task_;
};

TEST_F(RangeTransferTest, InnerSliceIsWrittenAtItsOffsetAndCompletes) {
  server_.ServeGenerated(path_, kLength);
  Step(0, 4194303, 0);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskComplete);
  EXPECT_EQ(task_.DownloadedPos.load(), 4194303);
  EXPECT_TRUE(Served(0, 4194304));
  EXPECT_TRUE(Untouched(4194304, kLength));
  EXPECT_EQ(server_.RangesAsked(path_), std::vector<std::string>{"bytes=0-4194303"});
  EXPECT_EQ(server_.LastUserAgent(path_),
            "Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
            "Chrome/62.0.3202.75 Safari/537.36");
}

TEST_F(RangeTransferTest, LastSliceEndsAtTheLength) {
  server_.ServeGenerated(path_, kLength);
  Step(4194304, kLength, 4194304);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskComplete);
  EXPECT_EQ(task_.DownloadedPos.load(), kLength);
  EXPECT_TRUE(Served(4194304, kLength));
  EXPECT_TRUE(Untouched(0, 4194304));
}

TEST_F(RangeTransferTest, RepliesThatAreNotTheAskedRangeWriteNothingAndCountAsFailures) {
  ServeOptions lyingTotal;
  lyingTotal.claimedTotal = kLength + 1;
  ServeOptions notFound;
  notFound.errorStatus = 404;
  notFound.errorBody = "<html>404 page body</html>";
  ServeOptions serverError;
  serverError.errorStatus = 500;
  serverError.errorBody = "<html>500 page body</html>";
  ServeOptions ignoresRange;
  ignoresRange.ignoreRange = true;
  ServeOptions wrongStart;
  wrongStart.rangeStartShift = -4194304;
  const struct {
    const char* what;
    ServeOptions options;
    const char* failLine;
  } cases[] = {
      {"Content-Range total differs", lyingTotal, "download fail(23)"},
      {"404 with a body", notFound, "download fail("},
      {"500 with a body", serverError, "download fail("},
      {"200 ignoring a range past 0", ignoresRange, "download fail(23)"},
      {"206 starting elsewhere", wrongStart, "download fail(23)"},
  };
  for (const auto& c : cases) {
    path_ = UniquePath("package.bin");
    server_.ServeGenerated(path_, kLength, c.options);
    task_.RequestTimes = 0;
    Step(4194304, kLength, 4194304);
    EXPECT_EQ(task_.TaskStatus.load(), kTaskFailed) << c.what;
    EXPECT_EQ(task_.RequestTimes.load(), 1) << c.what;
    EXPECT_EQ(task_.DownloadedPos.load(), 4194304) << c.what;
    EXPECT_TRUE(Untouched(0, kLength)) << c.what;
    EXPECT_NE(log_.Text().find(c.failLine), std::string::npos) << c.what;
  }
}

TEST_F(RangeTransferTest, TwoHundredForARangeFromZeroIsWrittenAtTheTaskPosition) {
  ServeOptions ignoresRange;
  ignoresRange.ignoreRange = true;
  server_.ServeGenerated(path_, 3000, ignoresRange);
  // A one-slice file: the slice is the whole file, so the 200 is the range.
  task_.ContentLength = 3000;
  package_ = dir_ / "small.bin";
  std::FILE* file = std::fopen(package_.c_str(), "wb+");
  task_.StartPos = 0;
  task_.EndPos = 3000;
  task_.DownloadedPos = 0;
  task_.RemotePath = server_.Url(path_);
  CDownloadThread worker(&mutex_, file, FastTimings());
  worker.doTask(&task_);
  worker.taskBusiness();
  std::fclose(file);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskComplete);
  EXPECT_EQ(ReadFile(package_), GeneratedBytes(0, 3000));
}

TEST_F(RangeTransferTest, OverlongReplyFillsTheSliceAndStops) {
  // The first slice asked from 0 gets the whole file: its bytes are written,
  // nothing past its end, and the slice counts as complete.
  ServeOptions ignoresRange;
  ignoresRange.ignoreRange = true;
  server_.ServeGenerated(path_, kLength, ignoresRange);
  Step(0, 4194303, 0);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskComplete);
  EXPECT_TRUE(Served(0, 4194304));
  EXPECT_TRUE(Untouched(4194304, kLength));
}

TEST_F(RangeTransferTest, CutRangeKeepsItsBytesAndPosition) {
  ServeOptions drop;
  drop.dropAfterBytes = 1000000;
  server_.ServeGenerated(path_, kLength, drop);
  Step(4194304, kLength, 4194304);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskFailed);
  EXPECT_EQ(task_.RequestTimes.load(), 1);
  EXPECT_EQ(task_.DownloadedPos.load(), 4194304 + 1000000);
  EXPECT_TRUE(Served(4194304, 4194304 + 1000000));
  EXPECT_TRUE(Untouched(4194304 + 1000000, kLength));
}

TEST_F(RangeTransferTest, TimedOutRangeKeepsItsBytesAndPosition) {
  ServeOptions slow;
  slow.bytesPerSecond = 200000;  // the slice would take 21 s
  server_.ServeGenerated(path_, kLength, slow);
  DownloadTimings timings = FastTimings();
  timings.rangeTimeoutMs = 4000;  // long enough for the first bytes on a loaded machine
  Step(0, 4194303, 0, timings);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskFailed);
  EXPECT_NE(log_.Text().find("download fail(28)"), std::string::npos);
  EXPECT_NE(log_.Text().find(" Curl Time out"), std::string::npos);
  const std::int64_t reached = task_.DownloadedPos.load();
  EXPECT_GT(reached, 0);
  EXPECT_LT(reached, 4194303);
  EXPECT_TRUE(Served(0, reached));
  EXPECT_TRUE(Untouched(reached + 1, kLength));
}

TEST_F(RangeTransferTest, CutJustBeforeTheSliceLastByteIsNotComplete) {
  // The connection drops with only the slice's last byte missing: the slice
  // must not count as complete, and the resume fetches the rest.
  ServeOptions drop;
  drop.dropAfterBytes = 4194303;
  drop.dropTimes = 1;
  server_.ServeGenerated(path_, kLength, drop);
  Step(0, 4194303, 0);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskFailed);
  EXPECT_EQ(task_.DownloadedPos.load(), 4194302);
}

TEST_F(RangeTransferTest, SliceAlreadyCompleteMakesNoRequest) {
  server_.ServeGenerated(path_, kLength);
  Step(0, 4194303, 4194303);
  EXPECT_EQ(task_.TaskStatus.load(), kTaskComplete);
  EXPECT_EQ(server_.GetCount(path_), 0);
}

TEST_F(RangeTransferTest, CloudflareHeadersOfTheSliceAreCollected) {
  ServeOptions cdn;
  cdn.extraHeaders = {{"CF-Cache-Status", "HIT"}, {"CF-RAY", "8a1b2c3d4e5f-LHR"}};
  server_.ServeGenerated(path_, kLength, cdn);
  Step(4194304, kLength, 4194304);
  EXPECT_EQ(task_.CdnStatus, "LHR/HIT");
}

}  // namespace
