#include "platform/Paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/UniqueFd.h"

namespace platform {
namespace {

// An XDG variable counts only when it holds an absolute path.
std::string FromEnv(const char* name, const char* fallbackUnderHome) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] == '/') return value;
  return HomeDir() + "/" + fallbackUnderHome;
}

// The folder at path, made (mode 0700) when missing, is usable when it is a
// real folder of this user; one of ours with looser rights is tightened.
// Links are never followed, and others cannot swap the entry afterwards: it is
// ours, and a shared temporary folder lets only an entry's owner rename it.
bool EnsurePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return false;
  struct stat st {};
  const bool ours = ::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  return ours && ((st.st_mode & 077) == 0 || ::fchmod(fd.get(), 0700) == 0);
}

std::string TemporaryFolder() {
  std::error_code ec;
  const std::string tmp = std::filesystem::temp_directory_path(ec).string();
  return ec || tmp.empty() ? "/tmp" : tmp;
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
  const std::string shared = TemporaryFolder() + "/quillmarch-" + std::to_string(::geteuid());
  if (EnsurePrivateFolder(shared)) return shared;
  // Someone else holds that name: a folder under the user's own cache.
  std::error_code ec;
  const std::string parent = CacheHome() + "/quillmarch";
  std::filesystem::create_directories(parent, ec);
  const std::string own = parent + "/run";
  return EnsurePrivateFolder(own) ? own : std::string();
}

}  // namespace platform
