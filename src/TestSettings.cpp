#include "TestSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace testsettings {
namespace {

std::mutex g_overrideMutex;
std::string g_overridePath;

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// Leading sign and digits, as the profile reader takes them; no digits: fallback.
int LeadingInt(const std::string& value, int fallback) {
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  if (i >= value.size() || !std::isdigit(static_cast<unsigned char>(value[i]))) return fallback;
  long long number = 0;
  for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i) {
    number = std::min<long long>(number * 10 + (value[i] - '0'), 1LL << 32);
  }
  return static_cast<int>(negative ? -number : number);
}

// The switches change hosts and behaviour: only a file of the user's own (or
// root's) that no one else may write counts.
bool ReadSwitch(const char* key) {
  const platform::UniqueFd owner(open(SettingsFilePath().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  const int fd = owner.get();
  if (fd < 0) return false;
  struct stat st {};
  const bool trusted = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_uid == geteuid() || st.st_uid == 0) &&
                       (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
  std::string text;
  char buffer[4096];
  for (ssize_t n = 0; trusted && text.size() < (1 << 16) && (n = read(fd, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return trusted && ReadProfileInt(text, "Settings", key, 0) == 1;
}

}  // namespace

int ReadProfileInt(const std::string& iniText, const std::string& section, const std::string& key,
                   int defaultValue) {
  std::istringstream lines(iniText);
  std::string line;
  bool inSection = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      inSection = close != std::string::npos && SameNoCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    const auto eq = line.find('=');
    if (!inSection || eq == std::string::npos) continue;
    if (SameNoCase(Trim(line.substr(0, eq)), key)) return LeadingInt(Trim(line.substr(eq + 1)), defaultValue);
  }
  return defaultValue;
}

std::string SettingsFilePath() {
  {
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    if (!g_overridePath.empty()) return g_overridePath;
  }
  const std::string exe = platform::ExecutablePath();
  return exe.substr(0, exe.rfind('/') + 1) + kFileName;
}

void SetSettingsFileForTesting(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_overrideMutex);
  g_overridePath = path;
}

}  // namespace testsettings

bool IsTestEnv() { return testsettings::ReadSwitch("TestEnv"); }
bool IsAutoRun() { return testsettings::ReadSwitch("AutoRun"); }
bool IsCrashTest() { return testsettings::ReadSwitch("CrashTest"); }
