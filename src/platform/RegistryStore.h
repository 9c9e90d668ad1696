#pragma once
// String values under key paths, one file per hive, as the program keeps its
// few persistent settings (first-run marker, failure counter, language,
// telemetry identity).
//
// The file is a JSON object {"<key path>": {"<name>": "<value>"}}; key paths
// and names are compared exactly as given. Every call reads the file afresh
// under an advisory lock on "<file>.lock" beside it; a write replaces the file
// atomically (temporary file in the same folder, flushed, renamed), so
// concurrent writers in any process never lose each other's values and a
// crash never leaves half a file. A missing or unreadable file reads as empty;
// a write then starts a fresh, valid file. Nothing throws.
#include <string>

namespace platform {

class RegistryStore {
 public:
  explicit RegistryStore(std::string file);

  // The value, or empty when the file, key or name is missing.
  std::string Get(const std::string& key, const std::string& name) const;
  // Whether the value is stored (the folder is created when missing).
  bool Set(const std::string& key, const std::string& name, const std::string& value) const;

  const std::string& File() const { return file_; }

 private:
  std::string file_;
};

// Store files of the two hives. Local machine: /var/lib/quillmarch/registry-hklm
// when that folder can be created and written, else under $XDG_DATA_HOME.
// Current user: under $XDG_CONFIG_HOME.
std::string MachineHivePath();
std::string UserHivePath();

// Puts both hives into dir (as "registry-hklm" and "registry-hkcu") for the
// rest of the process, or back to their usual places when dir is empty.
void SetRegistryRootForTesting(const std::string& dir);

}  // namespace platform
