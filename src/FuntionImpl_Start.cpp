// Starting the installed product.
#include <spawn.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "FuntionImpl.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "platform/SafeNames.h"

extern char** environ;

namespace FuntionImpl {
namespace {

std::string Unquoted(const std::string& quoted) {
  if (quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"') return quoted.substr(1, quoted.size() - 2);
  return quoted;
}

// Starts the program in its own folder; 0 or the error number.
int SpawnInFolder(const std::string& path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, path.substr(0, path.rfind('/') + 1).c_str());
  platform::CloseAboveStderrAtSpawn(&actions);
  std::string arg0 = path;
  char* argv[] = {arg0.data(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc;
}

int Fail(const std::string& logText, int code) {
  QMLOG(logText << code << ")");
  CSingleUserLog::GetInstance()->AddUserLog("Other", "StartWindowError", std::to_string(code), false);
  return -1;
}

}  // namespace

// Both start forms run the product with the user's own rights: this program
// never holds more, so there is nothing to drop for the indirect form.
int StartTargetMainExe(const std::string& quotedPath, int startFlag) {
  const std::string path = Unquoted(quotedPath);
  struct stat st {};
  // An empty path is what a refused product name leaves.
  if (path.empty() || (startFlag == 0 && stat(path.c_str(), &st) != 0)) return Fail(" CreateProcess failed1 (", 2);
  const int rc = SpawnInFolder(path);
  if (rc == 0) return 0;
  return Fail(startFlag != 0 ? "CreateProcess failed3 (" : " CreateProcess failed2 (", rc);
}

int StopProductService() { return 0; }

}  // namespace FuntionImpl
