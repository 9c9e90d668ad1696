#pragma once
// The rules of the checks that run before an installation starts, over
// injected facts: is the product running, is there room on the download and
// install filesystems, how an install path is normalised, and whether the
// product asks for a newer .NET Framework than the machine has.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/DiskSpace.h"
#include "platform/ProcessList.h"

// The machine as the checks see it; tests replace any member.
struct PreInstallFacts {
  std::function<std::vector<platform::ProcessEntry>()> processes;
  std::function<bool(const std::string& path, platform::FreeSpace& space)> freeSpace;
  std::function<std::string(const std::string& path)> filesystemOf;
};
PreInstallFacts SystemPreInstallFacts();

// Brand folder word: the default parent folder of installations.
inline constexpr const char* kBrandFolder = "Vantor";

// Id of the first process whose executable name equals name exactly
// (case-sensitive, whole name), -1 when none does.
int FindProcessByName(const std::vector<platform::ProcessEntry>& processes, const std::string& name);

struct SpaceVerdict {
  int result = 1;            // 1 enough; -1 download filesystem short; -2 install filesystem short
  std::uint64_t free = 0;    // free bytes of the filesystem that is short
  std::uint64_t needed = 0;  // what it needed (the free space must be above it)
};
// Size 0 always passes. The download filesystem needs more than size; the
// install filesystem more than 3 x size when it is the same one, else 2 x.
// A filesystem whose free space cannot be read passes.
SpaceVerdict CheckFreeSpace(const PreInstallFacts& facts, const std::string& downloadDir,
                            const std::string& installPath, std::int64_t size);

// "\" separators become "/"; the product folder name is appended (after "/")
// when the path does not contain it.
std::string NormaliseInstallPath(const std::string& edited, const std::string& productName);
// A folder chosen in the browse dialog: "/" and the brand folder word are
// appended unless the path contains that word.
std::string BrowsedInstallPath(const std::string& chosen);

// The "NetFrameworkVersion" value in section [Settings] of folder +
// "/NetFrameCheck.db"; empty without the file or the key.
std::string ReadNetFrameRequirement(const std::string& folder);
// True when installed (empty: 0.0.0.0) is older than needed; four decimal
// components, missing ones count as 0.
bool NeedsNewerNetFrame(const std::string& installed, const std::string& needed);
