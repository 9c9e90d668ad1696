#pragma once
// The lines of /proc/PID/maps and the loaded modules they describe. No
// allocation: entries point into the caller's text, so a signal handler can
// use these on memory it reserved in advance.
#include <cstddef>
#include <cstdint>

namespace platform {

struct MapsEntry {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint64_t offset = 0;
  std::uint64_t inode = 0;
  bool readable = false;
  bool writable = false;
  bool executable = false;
  const char* path = nullptr;  // into the parsed text, not terminated
  std::size_t pathLength = 0;
};

// "start-end perms offset dev inode [path]"; false for a malformed line.
bool ParseMapsLine(const char* line, std::size_t length, MapsEntry& out);

// Every well-formed line of text, at most capacity of them; returns the count.
std::size_t ParseMaps(const char* text, std::size_t length, MapsEntry* entries, std::size_t capacity);

// A file mapped into the process: from its mapping at file offset 0 to the
// end of the last mapping of the same file that follows.
struct ModuleRange {
  std::size_t firstEntry = 0;  // the mapping at offset 0
  std::uint64_t base = 0;
  std::uint64_t end = 0;
};

// Modules of regular files (paths beginning with "/", outside /dev), in
// address order; returns the count (at most capacity).
std::size_t CollectModules(const MapsEntry* entries, std::size_t count, ModuleRange* modules,
                           std::size_t capacity);

// The entry holding address, or -1.
long FindMapping(const MapsEntry* entries, std::size_t count, std::uint64_t address);

}  // namespace platform
