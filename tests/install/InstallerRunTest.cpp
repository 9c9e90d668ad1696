#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <functional>

#include <filesystem>
#include <set>
#include <sstream>

#include "FuntionImpl.h"
#include "InstallerRun.h"
#include "SingleUserLog.h"
#include "platform/AtomicFile.h"
#include "platform/PrivateFiles.h"
#include "platform/SafeNames.h"
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

namespace {

// The descriptor numbers a child saw, as "ls /proc/self/fd" wrote them.
std::set<std::string> FdNames(const std::string& listing) {
  std::set<std::string> names;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) names.insert(line);
  return names;
}

// A product or setup that lists its own descriptors, then ends.
constexpr const char* kListFds = "exec ls /proc/self/fd > fds";

}  // namespace

// A descriptor of ours without close-on-exec (as a library's log file is)
// reaches neither the setup program nor the product: 3 is ls's own listing.
TEST(InstallerRun, ChildrenGetNoDescriptorAboveStderr) {
  TempDir dir;
  const int leaky = open(dir.path().c_str(), O_RDONLY);
  ASSERT_GE(leaky, 0);
  const std::set<std::string> standardOnly{"0", "1", "2", "3"};

  const std::string setup = Script(dir, "setup.sh", std::string("cd \"") + dir.path() + "\" && " + kListFds);
  ASSERT_EQ(RunSetupProgram(setup, SetupCommand{}, 2400, nullptr, std::chrono::milliseconds(50)).outcome,
            SetupWait::kFinished);
  EXPECT_EQ(FdNames(dir.Read("fds")), standardOnly);
  std::filesystem::remove(dir / "fds");

  const std::string product = Script(dir, "product", kListFds);
  ASSERT_EQ(FuntionImpl::StartTargetMainExe("\"" + product + "\"", 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return !dir.Read("fds").empty(); }));
  EXPECT_EQ(FdNames(dir.Read("fds")), standardOnly);
  close(leaky);
}

// A refused product name leaves an empty path: a failed start, nothing runs.
TEST(InstallerRun, EmptyProductPathIsAFailedStart) {
  CSingleUserLog::GetInstance()->TakeRecordedEvents();
  for (const int flag : {0, 1}) EXPECT_EQ(FuntionImpl::StartTargetMainExe("", flag), -1);
  const auto events = CSingleUserLog::GetInstance()->TakeRecordedEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].action, "StartWindowError");
}

// Names from the configuration reply that would climb out of a folder or
// break a command line.
TEST(SafeNames, PlainFileNames) {
  const struct {
    std::string name;
    bool plain;
  } cases[] = {
      {"markeraser", true},
      {"Mark Eraser.bin", true},
      {"..x", true},
      {"", false},
      {".", false},
      {"..", false},
      {"../../bin/sh", false},
      {"/bin/sh", false},
      {"sub/app", false},
      {"a\\b", false},
      {std::string("a\0b", 3), false},
      {"app\n", false},
      {"app\r", false},
      {"a\x7f", false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::IsPlainFileName(c.name), c.plain) << c.name;
}

TEST(SafeNames, SafeComponents) {
  const struct {
    std::string name;
    std::string safe;
  } cases[] = {
      {"Vantor Mark Eraser", "Vantor Mark Eraser"},
      {"../../x", "___.._x"},
      {"/etc/cron.d/x", "_etc_cron.d_x"},
      {"..", "__"},
      {"", "_"},
      {std::string("a\0b\n", 4), "a_b_"},
      {".hidden", "_hidden"},
      {"a\\b", "a_b"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::SafeFileComponent(c.name), c.safe) << c.name;
  std::tm local{};
  local.tm_year = 126;
  local.tm_mday = 1;
  EXPECT_EQ(InstallerLogFileName("../../.bashrc", local), "___.._.bashrc_Setup_20260101000000.log");
}

// What is started must really lie inside the install folder: a symlink
// inside that points out, a path that climbs out, or a missing file fail.
TEST(SafeNames, RealPathInsideFolder) {
  TempDir dir;
  std::filesystem::create_directories(dir / "install/sub");
  dir.Write("install/app", "x");
  dir.Write("install/sub/app2", "x");
  dir.Write("outside", "x");
  std::filesystem::create_symlink(dir / "outside", dir / "install/link");
  std::filesystem::create_symlink(dir / "install/app", dir / "install/inner");
  const std::string folder = dir / "install";
  EXPECT_TRUE(platform::RealPathInside(folder + "/app", folder));
  EXPECT_TRUE(platform::RealPathInside(folder + "/sub/app2", folder));
  EXPECT_TRUE(platform::RealPathInside(folder + "/inner", folder));
  EXPECT_FALSE(platform::RealPathInside(folder + "/link", folder));
  EXPECT_FALSE(platform::RealPathInside(folder + "/../outside", folder));
  EXPECT_FALSE(platform::RealPathInside(folder + "/missing", folder));
  EXPECT_FALSE(platform::RealPathInside(folder, folder));
  EXPECT_FALSE(platform::RealPathInside(folder + "x/app", folder));
}

// The program's own files and folders are the user's only, and a link
// planted at one of their names is never followed.
TEST(PrivateFiles, ModesAndLinks) {
  TempDir dir;
  const auto mode = [](const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0xffffu;
  };
  std::FILE* package = platform::OpenPrivateFile(dir / "pkg.exe", true);
  ASSERT_NE(package, nullptr);
  EXPECT_EQ(fcntl(fileno(package), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  std::fclose(package);
  EXPECT_EQ(mode(dir / "pkg.exe"), 0600u);

  dir.Write("old.log", "x");
  chmod((dir / "old.log").c_str(), 0644);
  EXPECT_TRUE(platform::PreparePrivateFile(dir / "old.log"));
  EXPECT_EQ(mode(dir / "old.log"), 0600u);
  EXPECT_EQ(dir.Read("old.log"), "x");  // kept, only closed to others

  dir.Write("victim", "theirs");
  std::filesystem::create_symlink(dir / "victim", dir / "planted.log");
  EXPECT_FALSE(platform::PreparePrivateFile(dir / "planted.log"));
  EXPECT_EQ(platform::OpenPrivateFile(dir / "planted.log", true), nullptr);
  EXPECT_EQ(dir.Read("victim"), "theirs");

  ASSERT_TRUE(platform::ReplaceFileContent(dir / "task.xml", "<a/>"));
  EXPECT_EQ(mode(dir / "task.xml"), 0600u);

  ASSERT_EQ(CreatePrivateDirectories(dir / "logs/app"), 0);
  EXPECT_EQ(mode(dir / "logs"), 0700u);
  EXPECT_EQ(mode(dir / "logs/app"), 0700u);
  chmod((dir / "logs/app").c_str(), 0755);
  ASSERT_EQ(CreatePrivateDirectories(dir / "logs/app"), 0);
  EXPECT_EQ(mode(dir / "logs/app"), 0700u);
}

namespace {

// Runs probe as the unprivileged user "nobody" in a child; its exit status.
int AsAnotherUser(const std::function<int()>& probe) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) {
      _exit(100);
    }
    _exit(probe());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

}  // namespace

// Another local user shares the temporary folder: what they plant at a name
// the program writes is never followed or written, and they cannot read what
// the program keeps for itself.
TEST(AnotherLocalUser, PlantedNamesAndPrivateFiles) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second local user";
  TempDir dir;
  chmod(dir.path().c_str(), 01777);  // a shared temporary folder
  // The other user's file, and their links at the names the program writes.
  // Paths are made before the fork: the child only makes system calls.
  const std::string theirs = dir / "theirs", log = dir / "app.log", pkg = dir / "pkg.exe";
  ASSERT_EQ(AsAnotherUser([&] {
              const int fd = open(theirs.c_str(), O_WRONLY | O_CREAT, 0666);
              if (fd < 0) return 1;
              close(fd);
              if (symlink(theirs.c_str(), log.c_str()) != 0) return 2;
              if (symlink(theirs.c_str(), pkg.c_str()) != 0) return 3;
              return 0;
            }),
            0);
  EXPECT_FALSE(platform::PreparePrivateFile(dir / "app.log"));
  EXPECT_EQ(platform::OpenPrivateFile(dir / "pkg.exe", true), nullptr);
  EXPECT_EQ(std::filesystem::file_size(dir / "theirs"), 0u);

  // What the program writes for itself stays closed to them.
  ASSERT_EQ(CreatePrivateDirectories(dir / "logs"), 0);
  ASSERT_TRUE(platform::PreparePrivateFile(dir / "own.log"));
  ASSERT_TRUE(platform::ReplaceFileContent(dir / "task.xml", "<a/>"));
  std::FILE* package = platform::OpenPrivateFile(dir / "own.exe", true);
  ASSERT_NE(package, nullptr);
  std::fclose(package);
  dir.Write("logs/x.log", "secret");
  const std::string own[] = {dir / "own.log", dir / "task.xml", dir / "own.exe", dir / "logs/x.log"};
  EXPECT_EQ(AsAnotherUser([&] {
              int readable = 0;
              for (const std::string& path : own) {
                const int fd = open(path.c_str(), O_RDONLY);
                if (fd >= 0) {
                  close(fd);
                  ++readable;
                }
              }
              return readable;
            }),
            0);
}
