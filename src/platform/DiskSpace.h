#pragma once
// Free space of the filesystem holding a path, and which filesystem that is.
// A path that does not exist yet is answered for its nearest existing parent.
#include <cstdint>
#include <string>

namespace platform {

struct FreeSpace {
  std::uint64_t available = 0;  // bytes this process may still use (its quota)
  std::uint64_t total = 0;      // bytes free on the filesystem, reserved blocks included
};

// False when no part of the path can be examined.
bool ReadFreeSpace(const std::string& path, FreeSpace& space);

// An identity of the filesystem (the "drive") holding path: equal texts mean
// the same filesystem. Empty when no part of the path can be examined.
std::string FilesystemOf(const std::string& path);

}  // namespace platform
