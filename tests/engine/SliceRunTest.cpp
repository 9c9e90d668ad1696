// Runs of consecutive slices streamed by one worker with one request: slices
// settle as the stream crosses them, a server that will not serve the long
// range falls back to one request per slice, a cut or a kill keeps the
// finished slices, and idle workers take the slices a run has not started.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "DownLoadImpl.h"
#include "EngineFixture.h"
#include "SavedTasks.h"
#include "SliceRules.h"
#include "SliceRun.h"
#include "support/Subprocess.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"

namespace {

constexpr std::int64_t MiB = 1048576;
// Four slices; the last one ends at the length.
constexpr std::int64_t kFourSlices = 4 * kSliceSize + 100;

// The first two slices saved complete while the last is not.
bool FirstTwoSavedComplete(const std::string& infoPath) {
  const auto tasks = ReadSavedTasks(infoPath);
  return tasks.size() == 4 && tasks[0].status == kTaskComplete && tasks[0].downloaded == tasks[0].end &&
         tasks[1].status == kTaskComplete && tasks[1].downloaded == tasks[1].end && tasks[3].status != kTaskComplete;
}

std::int64_t RangeStart(const std::string& range) { return std::stoll(range.substr(6)); }
std::int64_t RangeEnd(const std::string& range) { return std::stoll(range.substr(range.find('-') + 1)); }

class SliceRunTest : public EngineTest {
 protected:
  static DownloadTimings OneWorker() {
    DownloadTimings t = FastTimings();
    t.workerCount = 1;
    return t;
  }

  int Run(DownloadTimings timings = OneWorker()) {
    CDownLoadImpl engine(std::move(timings));
    std::string cdnReport;
    return engine.SuperDownloadFile(server_.Url(path_), package_, cdnReport, true);
  }

  std::vector<std::string> Ranges() const { return server_.RangesAsked(path_); }

  TestHttpServer server_;
  std::string path_ = UniquePath("setup.exe");
  std::string package_ = dir_ / "setup.exe";
  std::string info_ = dir_ / "setup.exe.xml";
};

TEST(RunLengthRule, EvenShareOfThePendingSlicesUpToTheCap) {
  const struct {
    std::int64_t pending, workers;
    int length;
  } cases[] = {
      {0, 4, 0},
      {1, 4, 1},
      {10, 4, 3},
      {8, 4, 2},
      {9, 4, 3},
      {10, 1, 8},
      {5, 1, 5},
      {100, 4, kMaxRunSlices},
      {3, 0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunLength(c.pending, c.workers), c.length) << c.pending << " pending, " << c.workers << " workers";
  }
}

// One request for the whole file; the server holds the connection after two
// slices and a little: the task-info file then shows those two complete
// while the stream is still open, the slice in progress ends at its own
// time limit, and only the rest is asked for again.
TEST_F(SliceRunTest, StreamSettlesEachSliceAsItFillsAndLosesAtMostTheSliceInProgress) {
  ServeOptions holds;
  holds.stallAfterBytes = 2 * kSliceSize + 1000;
  server_.ServeGenerated(path_, kFourSlices, holds);
  DownloadTimings timings = OneWorker();
  timings.rangeTimeoutMs = 4000;  // per slice of a stream
  std::atomic<bool> ended{false};
  int result = 0;
  std::thread run([&] {
    result = Run(timings);
    ended = true;
  });
  const bool seen = WaitUntil([&] { return ended.load() || FirstTwoSavedComplete(info_); });
  const bool seenMidStream = seen && !ended.load();
  run.join();
  EXPECT_TRUE(seenMidStream) << "two finished slices not saved while the stream was open";
  EXPECT_EQ(result, Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(kFourSlices));
  const auto ranges = Ranges();
  ASSERT_FALSE(ranges.empty());
  EXPECT_EQ(ranges.front(), "bytes=0-" + std::to_string(kFourSlices));
  // The held slice timed out on its own limit and resumed where its bytes
  // stopped; the finished slices were never asked for again.
  EXPECT_NE(log_.Text().find("download fail(28), id = 3"), std::string::npos);
  bool resumedThird = false;
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    EXPECT_GE(RangeStart(ranges[i]), 2 * kSliceSize) << ranges[i];
    resumedThird = resumedThird || RangeStart(ranges[i]) == 2 * kSliceSize + 1000;
  }
  EXPECT_TRUE(resumedThird) << ::testing::PrintToString(ranges);
}

TEST_F(SliceRunTest, CutStreamKeepsFinishedSlicesAndAsksOnlyForTheRest) {
  ServeOptions cut;
  cut.dropAfterBytes = 2 * kSliceSize + 1000;
  cut.dropTimes = 1;
  server_.ServeGenerated(path_, kFourSlices, cut);
  EXPECT_EQ(Run(), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(kFourSlices));
  const auto ranges = Ranges();
  ASSERT_GE(ranges.size(), 2u);
  EXPECT_EQ(ranges.front(), "bytes=0-" + std::to_string(kFourSlices));
  std::int64_t asked = 0;
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    EXPECT_GE(RangeStart(ranges[i]), 2 * kSliceSize + 1000) << ranges[i];
    asked += RangeEnd(ranges[i]) - RangeStart(ranges[i]) + 1;
  }
  // Only the missing bytes (the last slice's range ends at the length).
  EXPECT_EQ(asked, kFourSlices - (2 * kSliceSize + 1000) + 1) << ::testing::PrintToString(ranges);
}

// A server that answers a range of several slices with something else than
// exactly that range: the first slice is kept, then every slice is asked for
// on its own, and the file is right.
TEST_F(SliceRunTest, ServerRefusingLongRangesGetsOneRequestPerSlice) {
  const struct {
    const char* what;
    bool whole;
  } cases[] = {{"200 with the whole file", true}, {"206 of a shorter range", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    path_ = UniquePath("setup.exe");
    std::filesystem::remove(package_);
    std::filesystem::remove(info_);
    ServeOptions refuses;
    refuses.longRange = kSliceSize + 100;
    refuses.longRangeWhole = c.whole;
    server_.ServeGenerated(path_, kFourSlices, refuses);
    EXPECT_EQ(Run(), Completed);
    EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(kFourSlices));
    EXPECT_NE(log_.Text().find("slices refused"), std::string::npos);
    const auto ranges = Ranges();
    ASSERT_FALSE(ranges.empty());
    EXPECT_EQ(ranges.front(), "bytes=0-" + std::to_string(kFourSlices));
    EXPECT_EQ(ranges.size(), 4u) << ::testing::PrintToString(ranges);
    for (std::size_t i = 1; i < ranges.size(); ++i) {
      EXPECT_EQ(RangeStart(ranges[i]) % kSliceSize, 0) << ranges[i];
      EXPECT_LE(RangeEnd(ranges[i]) - RangeStart(ranges[i]), kSliceSize + 100) << ranges[i];
    }
  }
}

TEST_F(SliceRunTest, LyingTotalOnALongRangeEndsTheRoundWithNothingWritten) {
  ServeOptions lies;
  lies.claimedTotal = kFourSlices + 1;
  server_.ServeGenerated(path_, kFourSlices, lies);
  EXPECT_EQ(Run(), RemoteChanged);
  EXPECT_EQ(Ranges().front(), "bytes=0-" + std::to_string(kFourSlices));
  std::error_code error;
  const auto size = std::filesystem::file_size(package_, error);
  EXPECT_TRUE(error || size == 0) << size;
}

// Slice 3 is nearly complete from an earlier run, so its worker is idle at
// once while the other streams slices 1 and 2 slowly: it takes slice 2,
// which the stream has not started, and the stream ends after slice 1.
TEST_F(SliceRunTest, IdleWorkerTakesTheSliceARunHasNotStarted) {
  const std::int64_t length = 3 * kSliceSize;
  ServeOptions slow;
  slow.bytesPerSecond = 2 * MiB;
  server_.ServeGenerated(path_, length, slow);
  const std::int64_t resumeAt = length - 1000;
  {
    std::FILE* file = std::fopen(package_.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string bytes = GeneratedBytes(0, static_cast<std::size_t>(resumeAt));
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  std::string xml = "<TaskInfo>\n<TasksCount>3</TasksCount>\n<ContentLength>" + std::to_string(length) +
                    "</ContentLength>\n<DownloadTime>0</DownloadTime>\n";
  for (int i = 0; i < 3; ++i) {
    const std::int64_t start = i * kSliceSize;
    const std::int64_t end = i == 2 ? length : start + kSliceSize - 1;
    xml += "<Task><StartPos>" + std::to_string(start) + "</StartPos><EndPos>" + std::to_string(end) +
           "</EndPos><DownloadedPos>" + std::to_string(i == 2 ? resumeAt : start) + "</DownloadedPos><RemotePath>" +
           server_.Url(path_) + "</RemotePath><LocalPath>" + package_ + "</LocalPath><TaskStatus>0</TaskStatus><TaskId>" +
           std::to_string(i + 1) + "</TaskId></Task>\n";
  }
  xml += "</TaskInfo>\n";
  {
    std::FILE* file = std::fopen(info_.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(xml.data(), 1, xml.size(), file);
    std::fclose(file);
  }
  DownloadTimings timings = FastTimings();
  timings.workerCount = 2;
  EXPECT_EQ(Run(timings), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
  EXPECT_NE(log_.Text().find("taken from a run, id = 2"), std::string::npos);
  const auto ranges = Ranges();
  EXPECT_NE(std::find(ranges.begin(), ranges.end(), "bytes=0-8388607"), ranges.end())
      << ::testing::PrintToString(ranges);
  EXPECT_NE(std::find(ranges.begin(), ranges.end(), "bytes=4194304-8388607"), ranges.end())
      << ::testing::PrintToString(ranges);
}

// The network goes while a run streams: the slice in progress is finished,
// the stream is cut at its end, and no further slice of the run is started.
TEST_F(SliceRunTest, StoppingRoundStartsNoFurtherSliceOfARun) {
  // Slow enough that a loaded sanitizer build notices the lost network long
  // before the stream could reach the last slice (8 s away).
  ServeOptions slow;
  slow.bytesPerSecond = MiB;
  server_.ServeGenerated(path_, kFourSlices, slow);
  auto online = std::make_shared<std::atomic<bool>>(true);
  DownloadTimings timings = OneWorker();
  timings.networkLostPauseMs = 0;
  timings.networkAlive = [online] { return online->load(); };
  std::atomic<bool> ended{false};
  int result = 0;
  std::thread run([&] {
    result = Run(timings);
    ended = true;
  });
  // Slice 1 saved complete: the stream is on slice 2.
  EXPECT_TRUE(WaitUntil([&] {
    const auto tasks = ReadSavedTasks(info_);
    return ended.load() || (tasks.size() == 4 && tasks[0].status == kTaskComplete);
  }));
  online->store(false);
  run.join();
  EXPECT_EQ(result, NetworkDown);
  EXPECT_EQ(Ranges().size(), 1u) << ::testing::PrintToString(Ranges());
  const auto tasks = ReadSavedTasks(info_);
  ASSERT_EQ(tasks.size(), 4u);
  EXPECT_NE(tasks[3].status, kTaskComplete);
  EXPECT_EQ(tasks[3].downloaded, 3 * kSliceSize);
}

// The process killed while its stream is held after two slices: the next
// process asks for nothing of those two.
TEST_F(SliceRunTest, KillMidStreamThenRestartAsksOnlyForTheUnfinishedSlices) {
  ServeOptions holds;
  holds.stallAfterBytes = 2 * kSliceSize + 1000;
  server_.ServeGenerated(path_, kFourSlices, holds);
  const std::vector<std::string> argv = {QM_FETCH_EXE, server_.Url(path_), package_, "--rounds", "1", "--workers", "1",
                                         "--offline-ok"};
  Subprocess first = Subprocess::Start(argv, {}, dir_ / "first.out");
  ASSERT_GT(first.pid, 0);
  ASSERT_TRUE(WaitUntil([&] { return FirstTwoSavedComplete(info_); })) << ReadFile(dir_ / "first.out");
  first.Kill(SIGKILL);
  EXPECT_EQ(first.Wait(60000), 128 + SIGKILL);
  const std::size_t before = Ranges().size();

  server_.SetOptions(path_, {});
  Subprocess second = Subprocess::Start(argv, {}, dir_ / "second.out");
  EXPECT_EQ(second.Wait(300000), 0) << ReadFile(dir_ / "second.out");
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(kFourSlices));
  const auto ranges = Ranges();
  ASSERT_GT(ranges.size(), before);
  for (std::size_t i = before; i < ranges.size(); ++i) EXPECT_GE(RangeStart(ranges[i]), 2 * kSliceSize) << ranges[i];
}

}  // namespace
