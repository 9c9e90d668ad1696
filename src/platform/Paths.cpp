#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace platform {
namespace {

// An XDG variable counts only when it holds an absolute path.
std::string FromEnv(const char* name, const char* fallbackUnderHome) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] == '/') return value;
  return HomeDir() + "/" + fallbackUnderHome;
}

}  // namespace

std::string ExecutablePath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

std::string HomeDir() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return "/tmp";
}

std::string StateHome() { return FromEnv("XDG_STATE_HOME", ".local/state"); }
std::string CacheHome() { return FromEnv("XDG_CACHE_HOME", ".cache"); }
std::string DataHome() { return FromEnv("XDG_DATA_HOME", ".local/share"); }
std::string ConfigHome() { return FromEnv("XDG_CONFIG_HOME", ".config"); }

std::string RuntimeDir() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  if (value != nullptr && value[0] == '/') return value;
  std::error_code ec;
  const std::string tmp = std::filesystem::temp_directory_path(ec).string();
  return ec || tmp.empty() ? "/tmp" : tmp;
}

}  // namespace platform
