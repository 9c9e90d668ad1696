// Whole download runs through SuperDownloadFile: results, resume, progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <cstring>
#include <mutex>
#include <set>

#include "DownLoadImpl.h"
#include "SliceRules.h"
#include "EngineFixture.h"
#include "support/TestHttpServer.h"

namespace {

constexpr std::int64_t MiB = 1048576;

class SupervisorTest : public EngineTest {
 protected:
  int Run(const std::string& url, bool packageFlag = true, DownloadTimings timings = FastTimings()) {
    CDownLoadImpl engine(std::move(timings));
    engine.SetProgressCallback([this](std::int64_t done, std::int64_t total) {
      std::lock_guard<std::mutex> lock(progressLock_);
      lastDone_ = done;
      lastTotal_ = total;
    });
    cdnReport_.clear();
    return engine.SuperDownloadFile(url, package_, cdnReport_, packageFlag);
  }

  void WriteInfo(std::int64_t length, const std::string& url, const std::vector<std::array<std::int64_t, 3>>& slices,
                 int status) {
    std::string xml = "<TaskInfo>\n<TasksCount>2</TasksCount>\n<ContentLength>" + std::to_string(length) +
                      "</ContentLength>\n<DownloadTime>0</DownloadTime>\n";
    int id = 0;
    for (const auto& s : slices) {
      xml += "<Task><StartPos>" + std::to_string(s[0]) + "</StartPos><EndPos>" + std::to_string(s[1]) +
             "</EndPos><DownloadedPos>" + std::to_string(s[2]) + "</DownloadedPos><RemotePath>" + url +
             "</RemotePath><LocalPath>" + package_ + "</LocalPath><TaskStatus>" + std::to_string(status) +
             "</TaskStatus><TaskId>" + std::to_string(++id) + "</TaskId></Task>\n";
    }
    xml += "</TaskInfo>\n";
    std::FILE* file = std::fopen(info_.c_str(), "wb");
    std::fwrite(xml.data(), 1, xml.size(), file);
    std::fclose(file);
  }

  TestHttpServer server_;
  std::string path_ = UniquePath("setup.exe");
  std::string package_ = dir_ / "setup.exe";
  std::string info_ = dir_ / "setup.exe.xml";
  std::string cdnReport_;
  std::mutex progressLock_;
  std::int64_t lastDone_ = -1;
  std::int64_t lastTotal_ = -1;
};

TEST_F(SupervisorTest, DownloadsTheWholeFileWithTheRightMd5) {
  const std::int64_t length = 17 * MiB + 321;
  server_.ServeGenerated(path_, length);
  EXPECT_EQ(Run(server_.Url(path_)), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
  EXPECT_EQ(std::filesystem::file_size(package_), static_cast<std::uintmax_t>(length));
  EXPECT_TRUE(HasEvent(CSingleUserLog::GetInstance()->TakeRecordedEvents(), "SliceDownloading", ""));
  // The saved list ends complete, so the next round has nothing to do.
  EXPECT_NE(ReadFile(info_).find("<DownloadedPos>" + std::to_string(length) + "</DownloadedPos>"), std::string::npos);
}

TEST_F(SupervisorTest, AllCompleteListFinishesAtOnceWithFullProgress) {
  const std::int64_t length = 10 * MiB;
  server_.ServeGenerated(path_, length);
  ASSERT_EQ(Run(server_.Url(path_)), Completed);
  const int gets = server_.GetCount(path_);
  CSingleUserLog::GetInstance()->TakeRecordedEvents();
  EXPECT_EQ(Run(server_.Url(path_)), Completed);
  EXPECT_EQ(server_.GetCount(path_), gets);
  EXPECT_EQ(lastDone_, length);
  EXPECT_EQ(lastTotal_, length);
  EXPECT_FALSE(HasEvent(CSingleUserLog::GetInstance()->TakeRecordedEvents(), "ResumUpload", ""));
}

TEST_F(SupervisorTest, CutAndTimedOutRangesResumeFromTheirPosition) {
  const std::int64_t length = 9 * MiB + 77;
  ServeOptions flaky;
  flaky.dropAfterBytes = 700000;
  flaky.dropTimes = 3;
  server_.ServeGenerated(path_, length, flaky);
  EXPECT_EQ(Run(server_.Url(path_)), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
  // The server cuts the first three responses long enough to cut, whichever
  // ranges (slices or tail-split helpers) those are. A cut range is asked
  // again from where its bytes stopped, unless a helper had already taken
  // over its tail before the cut; no range is asked from its start twice.
  std::set<std::int64_t> starts;
  for (const auto& range : server_.RangesAsked(path_)) {
    EXPECT_TRUE(starts.insert(std::stoll(range.substr(std::strlen("bytes=")))).second) << range;
  }
  const auto cuts = server_.CutsMade(path_);
  EXPECT_FALSE(cuts.empty());
  for (const auto& [first, end] : cuts) {
    const bool takenOver = starts.upper_bound(first) != starts.upper_bound(end - 1);
    EXPECT_TRUE(starts.count(end) == 1 || takenOver)
        << "no range resumed at " << end << " of " << ::testing::PrintToString(server_.RangesAsked(path_));
  }
}

TEST_F(SupervisorTest, StalledServerEndsWithNoProgressAndTheNextRoundResumes) {
  const std::int64_t length = 9 * MiB;
  ServeOptions stall;
  stall.stallAfterBytes = 300000;
  server_.ServeGenerated(path_, length, stall);
  EXPECT_EQ(Run(server_.Url(path_), true, StallTimings()), NoProgress);
  EXPECT_NE(ReadFile(info_).find("<DownloadedPos>300000</DownloadedPos>"), std::string::npos);
  server_.SetOptions(path_, {});
  EXPECT_EQ(Run(server_.Url(path_)), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
  EXPECT_NE(std::find(server_.RangesAsked(path_).begin(), server_.RangesAsked(path_).end(), "bytes=300000-4194303"),
            server_.RangesAsked(path_).end());
}

TEST_F(SupervisorTest, FailingTasksEndACdnRunButNeverAnOtherRun) {
  ServeOptions broken;
  broken.errorStatus = 500;
  broken.errorBody = "<html>busy</html>";
  server_.ServeGenerated(path_, 9 * MiB, broken);
  // "dl." makes a CDN-style URL; *.localhost resolves to loopback.
  const std::string cdnUrl = "http://dl.localhost:" + std::to_string(server_.port()) + path_;
  EXPECT_EQ(Run(cdnUrl), CdnFailed);
  EXPECT_GT(server_.GetCount(path_), 3 * 2);
  EXPECT_NE(log_.Text().find(" ---cdn fail:"), std::string::npos);

  std::filesystem::remove(package_);
  std::filesystem::remove(info_);
  EXPECT_EQ(Run(server_.Url(path_), true, StallTimings()), NoProgress);
  EXPECT_EQ(log_.Text().find(" ---cdn fail:"), log_.Text().rfind(" ---cdn fail:"));
}

TEST_F(SupervisorTest, NetworkLossEndsTheRun) {
  const std::int64_t length = 9 * MiB;
  ServeOptions slow;
  slow.bytesPerSecond = 2 * MiB;
  server_.ServeGenerated(path_, length, slow);
  DownloadTimings timings = FastTimings();
  auto alive = std::make_shared<std::atomic<int>>(25);  // alive for the first checks only
  timings.networkAlive = [alive] { return alive->fetch_sub(1) > 0; };
  EXPECT_EQ(Run(server_.Url(path_), true, timings), NetworkDown);
  EXPECT_NE(log_.Text().find("network is  no  alive"), std::string::npos);
  // What arrived is kept for the next round.
  EXPECT_TRUE(std::filesystem::exists(info_));
  server_.SetOptions(path_, {});
  EXPECT_EQ(Run(server_.Url(path_)), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
}

TEST_F(SupervisorTest, ShortRunEndsWithLengthShortAndTheNextRoundRepairsIt) {
  // The saved list calls a slice complete whose bytes are not all there.
  const std::int64_t length = 10 * MiB;
  server_.ServeGenerated(path_, length);
  std::FILE* file = std::fopen(package_.c_str(), "wb");
  const std::string head = GeneratedBytes(0, 1000);
  std::fwrite(head.data(), 1, head.size(), file);
  std::fclose(file);
  std::filesystem::resize_file(package_, 4194304);
  WriteInfo(length, server_.Url(path_), {{0, 4194303, 1000}, {4194304, length, 4194304}}, kTaskComplete);
  EXPECT_EQ(Run(server_.Url(path_)), LengthShort);
  EXPECT_NE(log_.Text().find(" lenth is error, less than remote file."), std::string::npos);
  EXPECT_EQ(Run(server_.Url(path_)), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
}

TEST_F(SupervisorTest, SmallPackageIsRefusedOnlyWithThePackageFlag) {
  const std::int64_t length = 900 * 1024;
  server_.ServeGenerated(path_, length);
  EXPECT_EQ(Run(server_.Url(path_), true), PackageTooSmall);
  EXPECT_EQ(std::filesystem::file_size(package_), static_cast<std::uintmax_t>(length));
  std::filesystem::remove(package_);
  std::filesystem::remove(info_);
  EXPECT_EQ(Run(server_.Url(path_), false), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(package_), GeneratedMd5(length));
}

TEST_F(SupervisorTest, InitFailuresAreReturned) {
  EXPECT_EQ(Run(server_.Url(path_)), GetLengthFailed);
  server_.ServeGenerated(path_, 2 * MiB);
  package_ = dir_ / "no-such-folder/setup.exe";
  EXPECT_EQ(Run(server_.Url(path_)), OpenFileFailed);
  EXPECT_TRUE(HasEvent(CSingleUserLog::GetInstance()->TakeRecordedEvents(), "OpenFileErrCode", "2"));
}

TEST_F(SupervisorTest, FileAboveTwoGibibytesResumesAcrossTheBoundary) {
  // Every slice but the two around 2 GiB is complete; the package is sparse,
  // so nothing is stored twice.
  const std::int64_t length = 2147483648LL + 5 * MiB + 123;
  server_.ServeGenerated(path_, length);
  std::FILE* file = std::fopen(package_.c_str(), "wb");
  std::fclose(file);
  std::filesystem::resize_file(package_, static_cast<std::uintmax_t>(length));
  std::string xml = "<TaskInfo>\n<TasksCount>513</TasksCount>\n<ContentLength>" + std::to_string(length) +
                    "</ContentLength>\n<DownloadTime>0</DownloadTime>\n";
  int id = 0;
  for (const SliceRange& s : MakeSlices(length)) {
    const bool done = ++id < 512;
    xml += "<Task><StartPos>" + std::to_string(s.start) + "</StartPos><EndPos>" + std::to_string(s.end) +
           "</EndPos><DownloadedPos>" + std::to_string(done ? s.end : s.start) + "</DownloadedPos><RemotePath>" +
           server_.Url(path_) + "</RemotePath><LocalPath>" + package_ + "</LocalPath><TaskStatus>" +
           (done ? "1" : "0") + "</TaskStatus><TaskId>" + std::to_string(id) + "</TaskId></Task>\n";
  }
  xml += "</TaskInfo>\n";
  file = std::fopen(info_.c_str(), "wb");
  std::fwrite(xml.data(), 1, xml.size(), file);
  std::fclose(file);

  EXPECT_EQ(Run(server_.Url(path_)), Completed);
  const std::int64_t from = 2147483648LL - 4 * MiB;
  // Only the two missing slices are asked for (idle workers may share them).
  const auto ranges = server_.RangesAsked(path_);
  EXPECT_GE(ranges.size(), 2u);
  for (const auto& range : ranges) EXPECT_GE(std::stoll(range.substr(6)), from) << range;
  std::FILE* in = std::fopen(package_.c_str(), "rb");
  std::string got(static_cast<std::size_t>(length - from), '\0');
  fseeko(in, from, SEEK_SET);
  ASSERT_EQ(std::fread(got.data(), 1, got.size(), in), got.size());
  std::fclose(in);
  EXPECT_TRUE(got == GeneratedBytes(from, got.size()));
  EXPECT_NE(ReadFile(info_).find("<DownloadedPos>" + std::to_string(length) + "</DownloadedPos>"), std::string::npos);
}

}  // namespace
