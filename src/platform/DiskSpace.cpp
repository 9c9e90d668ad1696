#include "platform/DiskSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>

namespace platform {
namespace {

// The path itself when it exists, else its nearest existing parent; empty
// when none exists (a relative path is taken from the working folder).
std::string NearestExisting(const std::string& path) {
  std::filesystem::path p = std::filesystem::path(path).lexically_normal();
  std::error_code ec;
  while (!p.empty()) {
    if (std::filesystem::exists(p, ec)) return p.string();
    if (p == p.parent_path()) break;
    p = p.parent_path();
  }
  return {};
}

}  // namespace

bool ReadFreeSpace(const std::string& path, FreeSpace& space) {
  const std::string existing = NearestExisting(path);
  struct statvfs fs {};
  if (existing.empty() || statvfs(existing.c_str(), &fs) != 0) return false;
  space.available = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
  space.total = static_cast<std::uint64_t>(fs.f_bfree) * fs.f_frsize;
  return true;
}

std::string FilesystemOf(const std::string& path) {
  const std::string existing = NearestExisting(path);
  struct stat st {};
  if (existing.empty() || stat(existing.c_str(), &st) != 0) return {};
  return "dev:" + std::to_string(static_cast<unsigned long long>(st.st_dev));
}

}  // namespace platform
