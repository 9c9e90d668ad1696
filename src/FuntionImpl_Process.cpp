// Finding and ending the processes that run a given file, over /proc.
#include "FuntionImpl.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "Logger.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string FileName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Image path of a process: the target of /proc/PID/exe, without the marker the
// kernel appends once the file has been deleted. Empty when it cannot be read.
std::string ImagePath(const std::string& pid) {
  const std::string link = "/proc/" + pid + "/exe";
  char target[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return {};
  std::string path(target, static_cast<std::size_t>(length));
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
    path.resize(path.size() - deleted.size());
  }
  return path;
}

bool IsProcessId(const char* name) {
  if (*name == '\0') return false;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

// The kernel reports image paths with symbolic links resolved; compare
// against that form too, so a path given through a link still matches.
std::string ResolvedLower(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? std::string() : Lower(resolved.string());
}

struct Target {
  std::string name;      // file name, lower case
  std::string tempName;  // installer helper name ("setup.tmp"), or empty
  std::string fullPath;  // lower case
  std::string resolvedPath;
  bool alsoInstallerTemp = false;
};

bool ImageMatches(const Target& target, const std::string& image) {
  return image == target.fullPath || (!target.resolvedPath.empty() && image == target.resolvedPath) ||
         (target.alsoInstallerTemp && image.find(".tmp") != std::string::npos);
}

void KillProcess(pid_t pid) {
  const bool ok = ::kill(pid, SIGKILL) == 0;
  const int error = ok ? 0 : errno;
  QMLOG(" Kill proc: " << ok << ", " << error);
}

bool HasTargetName(const Target& target, const std::string& image) {
  const std::string exe = Lower(FileName(image));
  return exe == target.name || (!target.tempName.empty() && exe == target.tempName);
}

// Whether the process with this /proc entry runs the target; logs as it goes.
bool IsTargetProcess(const Target& target, const char* pidText, pid_t self, pid_t& pid) {
  if (!IsProcessId(pidText)) return false;
  const std::string image = ImagePath(pidText);
  if (image.empty() || !HasTargetName(target, image)) return false;
  pid = static_cast<pid_t>(std::strtol(pidText, nullptr, 10));
  QMLOG(" Find proc: " << pid);
  if (pid == self) return false;
  const std::string lowered = Lower(image);
  QMLOG(" Get proc info: " << lowered.size());
  return ImageMatches(target, lowered);
}

Target MakeTarget(const std::string& path, bool alsoInstallerTemp) {
  Target target;
  target.name = Lower(FileName(path));
  target.fullPath = Lower(path);
  target.resolvedPath = ResolvedLower(path);
  target.alsoInstallerTemp = alsoInstallerTemp;
  if (alsoInstallerTemp && target.name.size() >= 3) {
    target.tempName = target.name.substr(0, target.name.size() - 3) + "tmp";
  }
  return target;
}

}  // namespace

namespace FuntionImpl {

int FindProcessByFullPath(std::string path, bool kill, bool alsoInstallerTemp) {
  const Target target = MakeTarget(path, alsoInstallerTemp);
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return -2;
  const pid_t self = getpid();
  int result = -1;
  while (const dirent* entry = readdir(proc.get())) {
    pid_t pid = 0;
    if (!IsTargetProcess(target, entry->d_name, self, pid)) continue;
    result = pid;
    if (kill) KillProcess(pid);
    if (!alsoInstallerTemp) break;
  }
  return result;
}

}  // namespace FuntionImpl
