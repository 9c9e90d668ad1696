#include "platform/SafeNames.h"

#include <climits>
#include <cstdlib>
#include <memory>

namespace platform {
namespace {

bool IsUnsafeChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return c == '/' || c == '\\' || u < 0x20 || u == 0x7f;
}

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    if (IsUnsafeChar(c)) return false;
  }
  return true;
}

std::string SafeFileComponent(std::string_view name) {
  std::string safe(name);
  for (char& c : safe) {
    if (IsUnsafeChar(c)) c = '_';
  }
  // A leading dot would make "..", "." or a hidden name.
  for (char& c : safe) {
    if (c != '.') break;
    c = '_';
  }
  return safe.empty() ? "_" : safe;
}

bool RealPathInside(const std::string& path, const std::string& folder) {
  const std::string real = RealPath(path);
  std::string base = RealPath(folder);
  if (real.empty() || base.empty()) return false;
  if (base.back() != '/') base += '/';
  return real.size() > base.size() && real.compare(0, base.size(), base) == 0;
}

int CloseAboveStderrAtSpawn(posix_spawn_file_actions_t* actions) {
  return posix_spawn_file_actions_addclosefrom_np(actions, 3);
}

}  // namespace platform
