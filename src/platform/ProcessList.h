#pragma once
// The running processes, read from /proc: each process's id and the file name
// of its executable (the target of /proc/PID/exe; for processes of other users,
// whose link cannot be read, the first word of the command line).
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  int pid = 0;
  std::string exeName;  // file name only, as the system spells it
};

// Empty when /proc cannot be read.
std::vector<ProcessEntry> ListProcesses();

// File name of an executable link target: the text after the last "/", without
// the " (deleted)" mark the kernel adds for a replaced file.
std::string ExeNameFromLinkTarget(const std::string& target);

}  // namespace platform
