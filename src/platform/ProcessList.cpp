#include "platform/ProcessList.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <fstream>
#include <memory>

namespace platform {
namespace {

bool IsPidName(const char* name) {
  if (*name == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  }
  return true;
}

std::string ExeNameOf(const std::string& procDir) {
  char target[PATH_MAX] = {};
  const ssize_t n = readlink((procDir + "/exe").c_str(), target, sizeof target - 1);
  if (n > 0) return ExeNameFromLinkTarget(std::string(target, static_cast<std::size_t>(n)));
  std::ifstream cmdline(procDir + "/cmdline", std::ios::binary);
  std::string first;
  std::getline(cmdline, first, '\0');
  return ExeNameFromLinkTarget(first);
}

}  // namespace

std::string ExeNameFromLinkTarget(const std::string& target) {
  std::string name = target.substr(target.rfind('/') + 1);
  const std::string deleted = " (deleted)";
  if (name.size() > deleted.size() && name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0) {
    name.erase(name.size() - deleted.size());
  }
  return name;
}

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> list;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return list;
  while (const dirent* entry = readdir(proc.get())) {
    if (!IsPidName(entry->d_name)) continue;
    ProcessEntry process{std::atoi(entry->d_name), ExeNameOf(std::string("/proc/") + entry->d_name)};
    if (!process.exeName.empty()) list.push_back(std::move(process));
  }
  return list;
}

}  // namespace platform
