#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "FuntionImpl.h"
#include "InstallerRun.h"
#include "SingleUserLog.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

namespace {

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
  dir.Write(name, "#!/bin/sh\n" + body + "\n");
  chmod((dir / name).c_str(), 0755);
  return dir / name;
}

}  // namespace

TEST(InstallerRun, CommandLineText) {
  const SetupCommand command =
      BuildSetupCommand("/opt/Vantor Mark Eraser", "jp", "/home/u/.local/state/RARivadurize/logs/app",
                        "Vantor Mark Eraser_Setup_20261210120000.log", "");
  EXPECT_EQ(command.commandLine,
            " /VERYSILENT /SP- /NORESTART /DIR=\"/opt/Vantor Mark Eraser/\" /LANG=jp "
            "/LOG=\"/home/u/.local/state/RARivadurize/logs/app/Vantor Mark Eraser_Setup_20261210120000.log\" "
            "/sptrack null");
  EXPECT_EQ(command.arguments[3], "/DIR=/opt/Vantor Mark Eraser/");
  EXPECT_EQ(command.arguments.back(), "null");
  EXPECT_EQ(BuildSetupCommand("/d", "en", "/l", "x.log", "qm_downloader_127").arguments.back(), "qm_downloader_127");
}

TEST(InstallerRun, LogNameAndTrackingValue) {
  std::tm local{};
  local.tm_year = 126;
  local.tm_mon = 0;
  local.tm_mday = 2;
  local.tm_hour = 3;
  local.tm_min = 4;
  local.tm_sec = 5;
  EXPECT_EQ(InstallerLogFileName("Vantor Mark Eraser", local), "Vantor Mark Eraser_Setup_20260102030405.log");
  EXPECT_EQ(TrackingValueFor("/opt/x/markeraser_setup"), "markeraser_setup");
  EXPECT_EQ(TrackingValueFor("/opt/x_y/Setup"), "");
}

TEST(InstallerRun, FinishedTimedOutOrNotStarted) {
  TempDir dir;
  const SetupCommand command = BuildSetupCommand(dir / "app", "en", dir.path(), "s.log", "");
  int started = 0;
  const auto onStarted = [&] { ++started; };
  constexpr auto unit = std::chrono::milliseconds(50);

  // An error exit still counts as finished; the switches arrive as arguments.
  const SetupRunResult failedExit =
      RunSetupProgram(Script(dir, "fails.sh", "echo \"$4\" > \"" + dir / "args" + "\"; exit 3"), command, 2400,
                      onStarted, unit);
  EXPECT_EQ(failedExit.outcome, SetupWait::kFinished);
  EXPECT_EQ(dir.Read("args"), "/DIR=" + dir / "app" + "/\n");

  const SetupRunResult slow = RunSetupProgram(Script(dir, "slow.sh", "exec sleep 30"), command, 3, onStarted, unit);
  EXPECT_EQ(slow.outcome, SetupWait::kTimedOut);
  EXPECT_EQ(slow.waits, 4u);  // the time-out plus one further wait
  EXPECT_EQ(kill(slow.pid, 0), 0) << "a timed-out setup program is left running";
  kill(slow.pid, SIGKILL);
  waitpid(slow.pid, nullptr, 0);

  const SetupRunResult missing = RunSetupProgram(dir / "absent", command, 3, onStarted, unit);
  EXPECT_EQ(missing.outcome, SetupWait::kNotStarted);
  EXPECT_EQ(started, 3);
}

TEST(InstallerRun, PrivateCopyIsWhatRuns) {
  TempDir dir;
  const std::string package = Script(dir, "pkg_setup.exe", "exit 0");
  PrivatePackageCopy copy;
  ASSERT_TRUE(copy.Make(package));
  EXPECT_NE(copy.path(), package);
  std::filesystem::remove(package);  // the download may go; the copy stays
  EXPECT_EQ(RunSetupProgram(copy.path(), SetupCommand{}, 2400, nullptr, std::chrono::milliseconds(50)).outcome,
            SetupWait::kFinished);
  const std::string folder = copy.path().substr(0, copy.path().rfind('/'));
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // The checked copy is read and run only.
  ASSERT_EQ(fstat(copy.fd(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0500u);
}

TEST(InstallerRun, StartTargetMainExe) {
  TempDir dir;
  CSingleUserLog::GetInstance()->TakeRecordedEvents();
  EXPECT_EQ(FuntionImpl::StartTargetMainExe("\"" + dir / "missing" + "\"", 0), -1);
  auto events = CSingleUserLog::GetInstance()->TakeRecordedEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].action, "StartWindowError");
  EXPECT_EQ(events[0].label, "2");

  const std::string product = Script(dir, "product", "pwd > started");
  EXPECT_EQ(FuntionImpl::StartTargetMainExe("\"" + product + "\"", 1), 0);
  ASSERT_TRUE(WaitUntil([&] { return !dir.Read("started").empty(); }));
  EXPECT_EQ(dir.Read("started"), dir.path() + "\n");  // started in its own folder
  EXPECT_EQ(FuntionImpl::StopProductService(), 0);
}
