// Names that come from a server and end up in a path or a command line.
#pragma once

#include <spawn.h>

#include <string>
#include <string_view>

namespace platform {

// True for a bare file name: not empty, not "." or "..", and free of "/",
// "\", NUL and control characters.
bool IsPlainFileName(std::string_view name);

// `name` as one safe file-name component: separators, control characters and
// a leading dot become "_"; an empty result becomes "_".
std::string SafeFileComponent(std::string_view name);

// True when the resolved real path of `path` lies inside the resolved real
// path of `folder` (both must exist).
bool RealPathInside(const std::string& path, const std::string& folder);

// Adds to `actions` the closing of every descriptor above stderr, so a child
// inherits nothing of ours but its standard streams. 0 or the error number.
int CloseAboveStderrAtSpawn(posix_spawn_file_actions_t* actions);

}  // namespace platform
