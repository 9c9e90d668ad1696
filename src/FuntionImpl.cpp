// Operating system, bitness, screen, time, digest and registry helpers.
#include "FuntionImpl.h"

#include <openssl/evp.h>
#include <sys/time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <utility>

#include "platform/RegistryStore.h"

namespace {

enum class Cond { Any,
                  PlatformNt,
                  Platform9x,
                  WorkstationX64,
                  NoServerR2,
                  Workstation,
                  Server };

struct OsRow {
  int major;
  int minor;
  Cond cond;
  float version;
  const char* name;
};

// Releases recognised through the compatibility-layer numbers; the first row
// whose numbers and condition match wins.
constexpr OsRow kOsRows[] = {
    {4, 0, Cond::PlatformNt, 0.0f, "Windows NT 4.0"},
    {4, 0, Cond::Platform9x, 0.0f, "Windows 95"},
    {4, 10, Cond::Any, 1.0f, "Windows 98"},
    {4, 90, Cond::Any, 2.0f, "Microsoft Windows Me"},
    {5, 0, Cond::Any, 3.0f, "Windows 2000"},
    {5, 1, Cond::Any, 4.0f, "Windows XP"},
    {5, 2, Cond::WorkstationX64, 5.0f, "Windows XP Professional x64 Edition"},
    {5, 2, Cond::NoServerR2, 5.0f, "Windows Server 2003"},
    {5, 2, Cond::Any, 5.0f, "Windows Server 2003 R2"},
    {6, 0, Cond::Workstation, 6.0f, "Windows Vista"},
    {6, 0, Cond::Server, 6.0f, "Windows Server 2008"},
    {6, 1, Cond::Workstation, 7.0f, "Windows 7"},
    {6, 1, Cond::Server, 7.0f, "Windows Server 2008 R2"},
    {6, 2, Cond::Workstation, 8.0f, "Windows 8"},
    {6, 2, Cond::Server, 8.0f, "Windows Server 2012"},
};

bool Holds(Cond cond, const WindowsVersionFacts& f) {
  switch (cond) {
    case Cond::Any: return true;
    case Cond::PlatformNt: return f.platformId == kPlatformWin32Nt;
    case Cond::Platform9x: return f.platformId == kPlatformWin32Windows;
    case Cond::WorkstationX64: return f.workstation && f.x64;
    case Cond::NoServerR2: return f.serverR2 == 0;
    case Cond::Workstation: return f.workstation;
    case Cond::Server: return !f.workstation;
  }
  return false;
}

std::string NameFromReportedNumbers(const WindowsVersionFacts& f, float& version) {
  if (f.major < 4 || f.major > 6) return "Error";
  if (f.major == 4) version = 0.0f;
  for (const OsRow& row : kOsRows) {
    if (row.major == f.major && row.minor == f.minor && Holds(row.cond, f)) {
      version = row.version;
      return row.name;
    }
  }
  return {};
}

std::mutex g_screenMutex;
ScreenInfoProvider g_screenProvider;

}  // namespace

bool IsWindows11Build(const std::string& currentBuild) {
  const char* begin = currentBuild.c_str();
  char* end = nullptr;
  const double build = std::strtod(begin, &end);
  return end != begin && std::floor(build) > 21999.0;
}

std::string OsNameFromWindowsFacts(const WindowsVersionFacts& facts, float& version) {
  if (IsWindows11Build(facts.currentBuild)) {
    version = 11.0f;
    return "Windows 11";
  }
  if (facts.trueMajor == 6 && facts.trueMinor == 3) {
    version = 8.1f;
    return "Windows 8.1";
  }
  if (facts.trueMajor == 10 && facts.trueMinor == 0) {
    version = 10.0f;
    return "Windows 10";
  }
  if (!facts.versionQueryOk) return {};
  return NameFromReportedNumbers(facts, version);
}

std::string GetOSName(float& version) {
  version = 10.0f;
  return platform::SystemFacts().OsPrettyName();
}

bool IsWindows11() { return false; }

bool IsSystem32BitMachine(const std::string& machine) {
  if (machine.empty()) return false;
  const bool is64 = machine.find("64") != std::string::npos || machine == "s390x" || machine == "alpha";
  return !is64;
}

bool IsWow64For(int processPointerBits, const std::string& machine) {
  return processPointerBits == 32 && !machine.empty() && !IsSystem32BitMachine(machine);
}

bool IsWow64() {
  const auto& facts = platform::SystemFacts();
  return IsWow64For(facts.PointerBits(), facts.Machine());
}

bool IsSystem32Bit() { return IsSystem32BitMachine(platform::SystemFacts().Machine()); }

bool IsSystem64Bit() { return IsWow64() || !IsSystem32Bit(); }

void SetScreenInfoProvider(ScreenInfoProvider provider) {
  std::lock_guard<std::mutex> lock(g_screenMutex);
  g_screenProvider = std::move(provider);
}

double GetScreenResolution(int& width, int& height) {
  ScreenInfoProvider provider;
  {
    std::lock_guard<std::mutex> lock(g_screenMutex);
    provider = g_screenProvider;
  }
  int w = 0, h = 0;
  double scale = 1.0;
  if (!provider || !provider(w, h, scale)) return 1.0;
  width = w;
  height = h;
  return scale;
}

std::string FormatChinaStandardTime(std::time_t utc) {
  const std::time_t shifted = utc + 8 * 60 * 60;  // fixed UTC+8, no daylight saving
  std::tm parts{};
  if (gmtime_r(&shifted, &parts) == nullptr) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

std::string GetChinaStandardTime() { return FormatChinaStandardTime(platform::SystemFacts().UtcNow()); }

std::string LocalTimeStamp17() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%.4d%.2d%.2d%.2d%.2d%.2d%.3d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
  return text;
}

std::string HexLower(const unsigned char* bytes, std::size_t size) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    hex += kHex[bytes[i] >> 4];
    hex += kHex[bytes[i] & 0x0F];
  }
  return hex;
}

std::string GetMd5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
  return HexLower(digest, length);
}

std::string RegGetString(const std::string& key, const std::string& name) {
  return platform::RegistryStore(platform::MachineHivePath()).Get(key, name);
}

bool RegSetString(const std::string& key, const std::string& name, const std::string& value) {
  return platform::RegistryStore(platform::MachineHivePath()).Set(key, name, value);
}

std::string RegGetStringUser(const std::string& key, const std::string& name) {
  return platform::RegistryStore(platform::UserHivePath()).Get(key, name);
}

bool RegSetStringUser(const std::string& key, const std::string& name, const std::string& value) {
  return platform::RegistryStore(platform::UserHivePath()).Set(key, name, value);
}

int AllowThroughFirewall(const std::string& /*path*/) { return 0; }
