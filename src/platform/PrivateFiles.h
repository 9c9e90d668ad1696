// Files the program keeps for itself: its own user only (0600), never
// through a symlink, never inherited by a child.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Opens `path` for reading and writing; creates it 0600 (truncating an
// existing file only with `truncate`). Null with errno set on failure.
std::FILE* OpenPrivateFile(const std::string& path, bool truncate);

// Creates `path` empty with mode 0600 when it is missing, and takes group and
// others' rights from it when it exists. False when it cannot be made so.
bool PreparePrivateFile(const std::string& path);

}  // namespace platform
