// The task manager against a real server: learning the length, slicing,
// the task-info file and its validation.
#include <gtest/gtest.h>

#include <tinyxml2.h>

#include <filesystem>

#include "CDownloadTaskManager.h"
#include "EngineFixture.h"
#include "support/TestHttpServer.h"

namespace {

constexpr std::int64_t MiB = 1048576;

class TaskListTest : public EngineTest {
 protected:
  std::unique_ptr<CDownloadTaskManager> Manager(const std::string& url) {
    return std::make_unique<CDownloadTaskManager>(url, package_, info_, FastTimings(), log_.get());
  }

  // The managers report to this test's own recorder, not the process's.
  static std::unique_ptr<CSingleUserLog> OwnRecorder() {
    UserLogSettings settings;
    settings.withWebLog = false;
    settings.disabled = false;
    auto log = CSingleUserLog::CreateStandalone(settings);
    log->TakeRecordedEvents();
    return log;
  }

  std::unique_ptr<CSingleUserLog> log_ = OwnRecorder();

  TestHttpServer server_;
  std::string path_ = UniquePath("setup.exe");
  std::string package_ = dir_ / "setup.exe";
  std::string info_ = dir_ / "setup.exe.xml";
};

TEST_F(TaskListTest, GeneratesSlicesFromTheProbedLength) {
  server_.ServeGenerated(path_, 10 * MiB);
  auto manager = Manager(server_.Url(path_));
  ASSERT_EQ(manager->generateDownloadTask("Download", 1), Completed);
  const auto& tasks = manager->allTasks();
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0]->StartPos, 0);
  EXPECT_EQ(tasks[0]->EndPos, 4194303);
  EXPECT_EQ(tasks[1]->StartPos, 4194304);
  EXPECT_EQ(tasks[1]->EndPos, 10485760);
  for (const auto& task : tasks) {
    EXPECT_EQ(task->TaskStatus.load(), kTaskNew);
    EXPECT_EQ(task->DownloadedPos.load(), task->StartPos);
    EXPECT_EQ(task->RequestTimes.load(), 0);
    EXPECT_EQ(task->ContentLength, 10 * MiB);
    EXPECT_TRUE(task->CdnStatus.empty());
  }
  EXPECT_EQ(manager->pendingCount(), 2u);
  const auto events = log_->TakeRecordedEvents();
  EXPECT_TRUE(HasEvent(events, "Download", "Success/Null/Null/Null/Null/Null/Null/Null/Null/Null"));
  EXPECT_FALSE(HasEvent(CSingleUserLog::GetInstance()->TakeRecordedEvents(), "Download", ""));
}

TEST_F(TaskListTest, RedirectChainLeavesTheFinalUrlOnManagerAndTasks) {
  const std::string final = UniquePath("final.exe");
  const std::string hop = UniquePath("hop");
  server_.ServeGenerated(final, 5 * MiB);
  server_.Redirect(hop, server_.Url(final));
  server_.Redirect(path_, hop, 301);  // relative Location
  auto manager = Manager(server_.Url(path_));
  ASSERT_EQ(manager->generateDownloadTask("Download", 1), Completed);
  EXPECT_EQ(manager->url(), server_.Url(final));
  for (const auto& task : manager->allTasks()) EXPECT_EQ(task->RemotePath, server_.Url(final));
}

TEST_F(TaskListTest, RedirectLoopEndsWithTooManyRedirects) {
  const std::string other = UniquePath("other");
  server_.Redirect(path_, server_.Url(other));
  server_.Redirect(other, server_.Url(path_));
  auto manager = Manager(server_.Url(path_));
  EXPECT_EQ(manager->generateDownloadTask("Download", 1), TooManyRedirects);
  EXPECT_TRUE(manager->allTasks().empty());
  const auto events = log_->TakeRecordedEvents();
  EXPECT_TRUE(HasEvent(events, "Download",
                       "error:47/error:47/error:47/error:47/error:47/error:47/error:47/error:47/error:47/error:47"));
}

TEST_F(TaskListTest, MissingFileGivesGetLengthFailed) {
  auto manager = Manager(server_.Url(path_));
  EXPECT_EQ(manager->generateDownloadTask("Download", 1), GetLengthFailed);
}

TEST_F(TaskListTest, TaskInfoFileRoundTrip) {
  server_.ServeGenerated(path_, 10 * MiB + 5);
  auto first = Manager(server_.Url(path_));
  ASSERT_EQ(first->generateDownloadTask("Download", 0), Completed);
  first->allTasks()[0]->DownloadedPos = 4194303;
  first->allTasks()[0]->TaskStatus = kTaskComplete;
  first->allTasks()[1]->DownloadedPos = 5000000;
  first->allTasks()[1]->TaskStatus = kTaskFailed;
  first->allTasks()[1]->RequestTimes = 2;
  first->addDownloadTime(1234);
  first->saveTaskInfo();

  const std::string text = ReadFile(info_);
  EXPECT_EQ(text.rfind("<TaskInfo>\n    <TasksCount>2</TasksCount>\n    <ContentLength>10485765</ContentLength>\n"
                       "    <DownloadTime>1234</DownloadTime>\n    <Task>\n        <StartPos>0</StartPos>\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("<RequestTimes>2</RequestTimes>"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(info_ + ".tmp"));

  auto second = Manager(server_.Url(path_));
  EXPECT_FALSE(second->loadTaskFromFile(0));
  EXPECT_EQ(second->ContentLength(), 10 * MiB + 5);
  EXPECT_EQ(second->DownloadTime(), 1234);
  ASSERT_EQ(second->allTasks().size(), 2u);
  const CTask& a = *second->allTasks()[0];
  const CTask& b = *second->allTasks()[1];
  EXPECT_EQ(a.TaskStatus.load(), kTaskComplete);
  EXPECT_EQ(a.DownloadedPos.load(), 4194303);
  EXPECT_EQ(b.StartPos, 4194304);
  EXPECT_EQ(b.EndPos, 10 * MiB + 5);
  EXPECT_EQ(b.DownloadedPos.load(), 5000000);
  EXPECT_EQ(b.TaskStatus.load(), kTaskFailed);
  EXPECT_EQ(b.TaskId.load(), 2);
  EXPECT_EQ(b.RequestTimes.load(), 0);  // written, not read back
  EXPECT_EQ(b.RemotePath, server_.Url(path_));
  EXPECT_EQ(b.LocalPath, package_);
  EXPECT_EQ(b.ContentLength, 10 * MiB + 5);
  EXPECT_EQ(second->doneTasks().size(), 1u);
  EXPECT_EQ(second->pendingCount(), 1u);
}

// Writes a task-info file by hand, as an older run or a damaged disk left it.
void WriteInfo(const std::string& path, std::int64_t length, const std::vector<SavedSlice>& slices,
               const std::string& url, const std::string& local, const std::string& downloadTime = "0") {
  std::string xml = "<TaskInfo>\n<TasksCount>" + std::to_string(slices.size()) + "</TasksCount>\n<ContentLength>" +
                    std::to_string(length) + "</ContentLength>\n<DownloadTime>" + downloadTime + "</DownloadTime>\n";
  for (const auto& s : slices) {
    xml += "<Task><StartPos>" + std::to_string(s.start) + "</StartPos><EndPos>" + std::to_string(s.end) +
           "</EndPos><DownloadedPos>" + std::to_string(s.downloaded) + "</DownloadedPos><RemotePath>" + url +
           "</RemotePath><LocalPath>" + local + "</LocalPath><TaskStatus>" + std::to_string(s.status) +
           "</TaskStatus><TaskId>" + std::to_string(s.id) + "</TaskId><RequestTimes>0</RequestTimes></Task>\n";
  }
  xml += "</TaskInfo>\n";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(xml.data(), 1, xml.size(), file);
  std::fclose(file);
}

void WritePackage(const std::string& path, std::int64_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fclose(file);
  std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size));
}

TEST_F(TaskListTest, InvalidSavedStateIsDiscardedAndRegeneratedInTheSameCall) {
  const std::int64_t length = 10 * MiB;
  const struct {
    const char* what;
    std::int64_t savedLength;
    std::vector<SavedSlice> slices;
    const char* flowError;
  } cases[] = {
      {"remote length changed", 9 * MiB, {{0, 4194303, 100, 1, 2, true}, {4194304, 9 * MiB, 4194304, 2, 0, true}}, "DL025"},
      {"gap between slices", length, {{0, 4194303, 100, 1, 2, true}, {4194305, length, 4194305, 2, 0, true}}, "DL026"},
      {"position past its slice", length, {{0, 4194303, 4194999, 1, 2, true}, {4194304, length, 4194304, 2, 0, true}}, "DL026"},
      // Numbers at the very top of the range, where careless sums overflow.
      {"first slice ends at the largest position", length, {{0, INT64_MAX, 100, 1, 2, true}, {4194304, length, 4194304, 2, 0, true}}, "DL026"},
      {"last slice ends and stands at the largest position", length, {{0, 4194303, 100, 1, 2, true}, {4194304, INT64_MAX, INT64_MAX, 2, 1, true}}, "DL026"},
  };
  for (const auto& c : cases) {
    path_ = UniquePath("setup.exe");
    server_.ServeGenerated(path_, length);
    WriteInfo(info_, c.savedLength, c.slices, server_.Url(path_), package_);
    WritePackage(package_, 5000);
    log_->TakeRecordedEvents();
    auto manager = Manager(server_.Url(path_));
    EXPECT_EQ(manager->loadDownloadTask("Download", 1), Completed) << c.what;
    EXPECT_TRUE(HasEvent(log_->TakeRecordedEvents(), "FlowError", c.flowError)) << c.what;
    EXPECT_FALSE(std::filesystem::exists(package_)) << c.what;
    EXPECT_FALSE(std::filesystem::exists(info_)) << c.what;
    EXPECT_EQ(manager->ContentLength(), length) << c.what;
    ASSERT_EQ(manager->allTasks().size(), 2u) << c.what;
    EXPECT_EQ(manager->allTasks()[0]->DownloadedPos.load(), 0) << c.what;
    EXPECT_EQ(manager->pendingCount(), 2u) << c.what;
  }
}

TEST_F(TaskListTest, UnreadableTaskInfoIsRegenerated) {
  server_.ServeGenerated(path_, 5 * MiB);
  std::FILE* file = std::fopen(info_.c_str(), "wb");
  std::fputs("<TaskInfo><Task><StartPos>12", file);
  std::fclose(file);
  auto manager = Manager(server_.Url(path_));
  EXPECT_EQ(manager->loadDownloadTask("Download", 1), Completed);
  EXPECT_TRUE(HasEvent(log_->TakeRecordedEvents(), "FlowError", "DL026"));
  EXPECT_EQ(manager->allTasks().size(), 1u);
}

TEST_F(TaskListTest, AllCompleteListLoadsWithNothingPendingAndNoResumeEvent) {
  const std::int64_t length = 10 * MiB;
  server_.ServeGenerated(path_, length);
  WriteInfo(info_, length, {{0, 4194303, 4194303, 1, 1, true}, {4194304, length, length, 2, 1, true}},
            server_.Url(path_), package_);
  WritePackage(package_, length);
  auto manager = Manager(server_.Url(path_));
  EXPECT_EQ(manager->loadDownloadTask("Download", 1), Completed);
  EXPECT_EQ(manager->pendingCount(), 0u);
  EXPECT_EQ(manager->doneTasks().size(), 2u);
  const auto events = log_->TakeRecordedEvents();
  EXPECT_FALSE(HasEvent(events, "ResumUpload", ""));
  EXPECT_FALSE(HasEvent(events, "FlowError", ""));
}

TEST_F(TaskListTest, PartialListResumesWithTheResumeEvent) {
  const std::int64_t length = 10 * MiB;
  server_.ServeGenerated(path_, length);
  WriteInfo(info_, length, {{0, 4194303, 4194303, 1, 1, true}, {4194304, length, 5000000, 2, 2, true}},
            server_.Url(path_), package_);
  WritePackage(package_, 5000000);
  auto manager = Manager(server_.Url(path_));
  EXPECT_EQ(manager->loadDownloadTask("Download", 1), Completed);
  EXPECT_EQ(manager->pendingCount(), 1u);
  EXPECT_TRUE(HasEvent(log_->TakeRecordedEvents(), "ResumUpload", ""));
}

TEST_F(TaskListTest, AnImpossibleDownloadTimeStartsOverAtZero) {
  const std::int64_t length = 10 * MiB;
  const std::pair<const char*, std::int64_t> cases[] = {
      {"9223372036854775807", 0}, {"-5", 0}, {"123456", 123456}};
  for (const auto& [saved, loaded] : cases) {
    path_ = UniquePath("setup.exe");
    server_.ServeGenerated(path_, length);
    WriteInfo(info_, length, {{0, 4194303, 4194303, 1, 1, true}, {4194304, length, 5000000, 2, 2, true}},
              server_.Url(path_), package_, saved);
    WritePackage(package_, 5000000);
    auto manager = Manager(server_.Url(path_));
    EXPECT_EQ(manager->loadDownloadTask("Download", 1), Completed) << saved;
    EXPECT_EQ(manager->DownloadTime(), loaded) << saved;
    manager->addDownloadTime(1000);
    EXPECT_EQ(manager->DownloadTime(), loaded + 1000) << saved;
  }
}

TEST_F(TaskListTest, UnreachableServerKeepsTheSavedState) {
  // Without the server's answer nothing proves the saved state wrong.
  const std::int64_t length = 10 * MiB;
  std::string url;
  {
    TestHttpServer gone;
    url = gone.Url(path_);
  }
  WriteInfo(info_, length, {{0, 4194303, 4194303, 1, 1, true}, {4194304, length, 5000000, 2, 2, true}}, url, package_);
  WritePackage(package_, 5000000);
  auto manager = Manager(url);
  EXPECT_EQ(manager->loadDownloadTask("Download", 1), GetLengthFailed);
  EXPECT_TRUE(std::filesystem::exists(package_));
  EXPECT_TRUE(std::filesystem::exists(info_));
  EXPECT_TRUE(manager->allTasks().empty());
}

TEST_F(TaskListTest, LargeFileListRoundTripsWithSixtyFourBitPositions) {
  const std::int64_t length = 3000000000LL;
  server_.ServeGenerated(path_, length);
  auto first = Manager(server_.Url(path_));
  ASSERT_EQ(first->generateDownloadTask("Download", 0), Completed);
  ASSERT_EQ(first->allTasks().size(), 715u);
  first->allTasks().back()->DownloadedPos = 2999999000LL;
  first->saveTaskInfo();
  auto second = Manager(server_.Url(path_));
  second->loadTaskFromFile(0);
  ASSERT_EQ(second->allTasks().size(), 715u);
  EXPECT_EQ(second->allTasks().back()->StartPos, 714LL * 4194304);
  EXPECT_EQ(second->allTasks().back()->EndPos, length);
  EXPECT_EQ(second->allTasks().back()->DownloadedPos.load(), 2999999000LL);
}

}  // namespace
