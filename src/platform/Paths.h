#pragma once
// Where things live: the running executable, and the base folders of the XDG
// layout where the program keeps its logs, downloads and state. Each XDG folder
// honours its environment variable and falls back to the usual default.
#include <string>

namespace platform {

// Full path of the running executable (empty when it cannot be read).
std::string ExecutablePath();

std::string HomeDir();
std::string StateHome();   // $XDG_STATE_HOME, default ~/.local/state
std::string CacheHome();   // $XDG_CACHE_HOME, default ~/.cache
std::string DataHome();    // $XDG_DATA_HOME, default ~/.local/share
std::string ConfigHome();  // $XDG_CONFIG_HOME, default ~/.config
// $XDG_RUNTIME_DIR; without it a private folder of this user (mode 0700,
// owner checked, never a link): "<temporary folder>/quillmarch-<uid>", or
// "<cache home>/quillmarch/run" when that name is taken by someone else.
// Empty when neither can be made.
std::string RuntimeDir();

}  // namespace platform
