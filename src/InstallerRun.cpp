#include "InstallerRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/Paths.h"
#include "platform/SafeNames.h"

extern char** environ;

SetupCommand BuildSetupCommand(const std::string& installDir, const std::string& languageCode,
                               const std::string& logDir, const std::string& logFileName,
                               const std::string& trackingValue) {
  const std::string tracking = trackingValue.empty() ? "null" : trackingValue;
  const std::string logPath = logDir + "/" + logFileName;
  SetupCommand command;
  command.commandLine = " /VERYSILENT /SP- /NORESTART /DIR=\"" + installDir + "/\" /LANG=" + languageCode +
                        " /LOG=\"" + logPath + "\" /sptrack " + tracking;
  command.arguments = {"/VERYSILENT", "/SP-", "/NORESTART", "/DIR=" + installDir + "/", "/LANG=" + languageCode,
                       "/LOG=" + logPath, "/sptrack", tracking};
  return command;
}

std::string InstallerLogFileName(const std::string& softwareName, const std::tm& local) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%.4d%.2d%.2d%.2d%.2d%.2d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  // The product name comes from the configuration reply: one safe component.
  return platform::SafeFileComponent(softwareName) + "_Setup_" + stamp + ".log";
}

std::string TrackingValueFor(const std::string& executablePath) {
  const std::string name = executablePath.substr(executablePath.rfind('/') + 1);
  return name.find('_') != std::string::npos ? name : "";
}

PrivatePackageCopy::~PrivatePackageCopy() {
  fd_.reset();  // closed before its folder goes
  std::error_code ec;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
}

bool PrivatePackageCopy::Make(const std::string& packagePath) {
  const std::string runtime = platform::RuntimeDir();
  if (runtime.empty()) return false;
  std::string pattern = runtime + "/qm-package-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return false;
  folder_ = pattern;
  path_ = folder_ + "/" + packagePath.substr(packagePath.rfind('/') + 1);
  std::error_code ec;
  std::filesystem::copy_file(packagePath, path_, ec);
  if (ec) return false;
  // Read and run only: the bytes that are checked are the bytes that start.
  namespace fs = std::filesystem;
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_exec, ec);
  if (ec) return false;
  fd_.reset(open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  return fd_.valid();
}

namespace {

pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  platform::CloseAboveStderrAtSpawn(&actions);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// Waits up to `unit` for the child to end; true when it has ended (and is reaped).
bool WaitForEnd(pid_t pid, int pidfd, std::chrono::milliseconds unit) {
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    poll(&p, 1, static_cast<int>(unit.count()));
  }
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == pid) return true;
  if (pidfd < 0) {
    usleep(static_cast<useconds_t>(unit.count()) * 1000);
    return waitpid(pid, &status, WNOHANG) == pid;
  }
  return false;
}

}  // namespace

SetupRunResult RunSetupProgram(const std::string& program, const SetupCommand& command, unsigned installTimeout,
                               const std::function<void()>& onStarted, std::chrono::milliseconds waitUnit) {
  SetupRunResult result;
  result.pid = Spawn(program, command.arguments);
  if (onStarted) onStarted();
  if (result.pid < 0) return result;
  const platform::UniqueFd pidfdOwner(static_cast<int>(syscall(SYS_pidfd_open, result.pid, 0)));
  const int pidfd = pidfdOwner.get();
  for (unsigned j = 0;; ++j) {
    if (WaitForEnd(result.pid, pidfd, waitUnit)) {
      result.outcome = SetupWait::kFinished;
      result.waits = j;
      break;
    }
    if (j > installTimeout) {
      result.outcome = SetupWait::kTimedOut;
      result.waits = j;
      break;
    }
  }
  return result;
}
