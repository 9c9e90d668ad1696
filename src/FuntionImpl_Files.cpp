// Drives, folders and text replacement.
#include "FuntionImpl.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int kErrorDiskFull = 112;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Whether path lies under root, on whole path components ("/home" does not
// hold "/homework"); roots such as "C:\" or "/" end in their separator.
bool RootHolds(const std::string& root, const std::string& path) {
  if (root.empty() || path.compare(0, root.size(), root) != 0) return false;
  return IsSeparator(root.back()) || path.size() == root.size() || IsSeparator(path[root.size()]);
}

std::string JoinRoot(const std::string& root, const std::string& rest) {
  if (rest.empty()) return root;
  const bool rootEnds = IsSeparator(root.back());
  const bool restStarts = IsSeparator(rest.front());
  if (rootEnds && restStarts) return root + rest.substr(1);
  if (!rootEnds && !restStarts) return root + "/" + rest;
  return root + rest;
}

const platform::DriveInfo* OwnDrive(const std::string& path, const std::vector<platform::DriveInfo>& drives) {
  const platform::DriveInfo* own = nullptr;
  for (const auto& drive : drives) {
    if (RootHolds(drive.root, path) && (own == nullptr || drive.root.size() > own->root.size())) own = &drive;
  }
  return own;
}

bool IsLackOfSpace(int error) { return error == ENOSPC || error == EDQUOT; }

// 0 or the errno of one folder creation.
int MakeFolder(const std::string& path, mode_t mode = 0777) { return mkdir(path.c_str(), mode) == 0 ? 0 : errno; }

// Sorted by name so that the first hit does not depend on the order in which
// the filesystem happens to list entries. Links to folders are not followed:
// a link back up the tree would never end the search.
std::vector<std::string> SortedSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError) && !it->is_symlink(typeError)) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string ChooseBestDrive(const std::string& path, const std::vector<platform::DriveInfo>& drives) {
  const platform::DriveInfo* own = OwnDrive(path, drives);
  if (own == nullptr) return path;
  const platform::DriveInfo* best = nullptr;
  std::uint64_t bestFree = 0;
  for (const auto& drive : drives) {
    const bool eligible = drive.fixed && drive.busType != platform::kBusTypeUsb && drive.writable;
    if (eligible && drive.freeBytes > bestFree) {
      best = &drive;
      bestFree = drive.freeBytes;
    }
  }
  if (best == nullptr || best->root == own->root) return path;
  return JoinRoot(best->root, path.substr(own->root.size()));
}

void MoveToBestDrive(std::string& path) { path = ChooseBestDrive(path, platform::SystemFacts().Drives()); }

int GetDriveBusType(const std::string& mountPoint) {
  for (const auto& drive : platform::SystemFacts().Drives()) {
    if (drive.root == mountPoint) return drive.busType;
  }
  return platform::kBusTypeUnknown;
}

namespace {

int CreateDirectoriesWithMode(const std::string& path, mode_t mode) {
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i - 1] == '/' && IsLackOfSpace(MakeFolder(path.substr(0, i), mode))) return kErrorDiskFull;
  }
  const int last = MakeFolder(path, mode);
  if (IsLackOfSpace(last)) return kErrorDiskFull;
  std::error_code ec;
  return fs::is_directory(path, ec) ? 0 : last;
}

}  // namespace

int CreateDirectories(const std::string& path) { return CreateDirectoriesWithMode(path, 0777); }

int CreatePrivateDirectories(const std::string& path) {
  const int result = CreateDirectoriesWithMode(path, 0700);
  // A folder an earlier version made more open is closed again.
  if (result == 0 && chmod(path.c_str(), 0700) != 0) return errno;
  return result;
}

std::string FindFileInSubfolders(const std::string& folder, const std::string& relative) {
  const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const std::string& name : SortedSubfolders(base)) {
    const std::string sub = base + name + "/";
    std::error_code ec;
    if (fs::exists(sub + relative, ec)) return sub + relative;
    std::string found = FindFileInSubfolders(sub, relative);
    if (!found.empty()) return found;
  }
  return {};
}

int ReplaceAll(std::string& text, const std::string& find, const std::string& replacement) {
  if (text.empty() || find.empty()) return 0;
  int count = 0;
  for (std::size_t at = text.find(find); at != std::string::npos; at = text.find(find, at)) {
    text.replace(at, find.size(), replacement);
    at += replacement.size();
    ++count;
  }
  return count;
}
