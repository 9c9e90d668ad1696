#include "PreInstallRules.h"

#include <array>
#include <cstdlib>
#include <fstream>

#include "FuntionImpl.h"

PreInstallFacts SystemPreInstallFacts() {
  return {platform::ListProcesses, platform::ReadFreeSpace, platform::FilesystemOf};
}

int FindProcessByName(const std::vector<platform::ProcessEntry>& processes, const std::string& name) {
  for (const auto& process : processes) {
    if (process.exeName == name) return process.pid;
  }
  return -1;
}

SpaceVerdict CheckFreeSpace(const PreInstallFacts& facts, const std::string& downloadDir,
                            const std::string& installPath, std::int64_t size) {
  if (size <= 0) return {};
  const auto bytes = static_cast<std::uint64_t>(size);
  platform::FreeSpace download;
  if (facts.freeSpace(downloadDir, download) && download.available <= bytes) return {-1, download.available, bytes};
  const bool sameDrive = facts.filesystemOf(installPath) == facts.filesystemOf(downloadDir);
  const std::uint64_t needed = (sameDrive ? 3 : 2) * bytes;
  platform::FreeSpace install;
  if (facts.freeSpace(installPath, install) && install.available <= needed) return {-2, install.available, needed};
  return {};
}

std::string NormaliseInstallPath(const std::string& edited, const std::string& productName) {
  std::string path = edited;
  ReplaceAll(path, "\\", "/");
  if (path.find(productName) == std::string::npos) path += "/" + productName;
  return path;
}

std::string BrowsedInstallPath(const std::string& chosen) {
  if (chosen.find(kBrandFolder) != std::string::npos) return chosen;
  std::string path = chosen;
  if (path.empty() || path.back() != '/') path += "/";
  return path + kBrandFolder;
}

std::string ReadNetFrameRequirement(const std::string& folder) {
  std::ifstream file(folder + "/NetFrameCheck.db");
  std::string line;
  bool inSettings = false;
  while (std::getline(file, line)) {
    line = line.substr(0, 1024);
    if (line.size() < 3) continue;
    if (line.find("[Text]") != std::string::npos) break;
    if (line.find("[Settings]") != std::string::npos) {
      inSettings = true;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (inSettings && eq != std::string::npos && eq > 0 && line.substr(0, eq) == "NetFrameworkVersion") {
      return line.substr(eq + 1);
    }
  }
  return {};
}

namespace {

std::array<long, 4> VersionParts(const std::string& text) {
  std::array<long, 4> parts{};
  std::size_t start = 0;
  for (long& part : parts) {
    if (start > text.size()) break;
    const std::size_t dot = text.find('.', start);
    part = std::strtol(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start).c_str(), nullptr, 10);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts;
}

}  // namespace

bool NeedsNewerNetFrame(const std::string& installed, const std::string& needed) {
  const auto local = VersionParts(installed), need = VersionParts(needed);
  for (std::size_t i = 0; i < local.size(); ++i) {
    if (local[i] != need[i]) return local[i] < need[i];
  }
  return false;
}
