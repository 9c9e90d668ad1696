// Operating-system name and bitness rules.
#include <gtest/gtest.h>

#include "FuntionImpl.h"
#include "platform/FakeSystemFacts.h"

namespace {

constexpr float kUnset = 0.5f;  // a value no rule writes, to see "unchanged"

WindowsVersionFacts Reported(int major, int minor) {
  WindowsVersionFacts facts;
  facts.major = major;
  facts.minor = minor;
  return facts;
}

WindowsVersionFacts Server(WindowsVersionFacts facts, int serverR2 = 0) {
  facts.workstation = false;
  facts.serverR2 = serverR2;
  return facts;
}

WindowsVersionFacts WithTrue(WindowsVersionFacts facts, int major, int minor, const char* build = "") {
  facts.trueMajor = major;
  facts.trueMinor = minor;
  facts.currentBuild = build;
  return facts;
}

WindowsVersionFacts Platform(WindowsVersionFacts facts, int platformId) {
  facts.platformId = platformId;
  return facts;
}

WindowsVersionFacts X64(WindowsVersionFacts facts) {
  facts.x64 = true;
  return facts;
}

WindowsVersionFacts QueryFailed(WindowsVersionFacts facts) {
  facts.versionQueryOk = false;
  return facts;
}

struct OsCase {
  const char* what;
  WindowsVersionFacts facts;
  const char* name;
  float version;
};

TEST(OsNameFromWindowsFacts, FollowsTheReleaseTable) {
  const OsCase cases[] = {
      {"build 22000 is Windows 11", WithTrue(Reported(6, 2), 10, 0, "22000"), "Windows 11", 11.0f},
      {"later builds too", WithTrue(Reported(6, 2), 10, 0, "22631"), "Windows 11", 11.0f},
      {"build 19045 stays 10", WithTrue(Reported(6, 2), 10, 0, "19045"), "Windows 10", 10.0f},
      {"only the integer part counts", WithTrue(Reported(6, 2), 10, 0, "21999.9"), "Windows 10", 10.0f},
      {"unreadable build", WithTrue(Reported(6, 2), 10, 0, "n/a"), "Windows 10", 10.0f},
      {"8.1 behind a 6.2 report", WithTrue(Reported(6, 2), 6, 3), "Windows 8.1", 8.1f},
      {"Windows 7", Reported(6, 1), "Windows 7", 7.0f},
      {"Server 2008 R2", Server(Reported(6, 1)), "Windows Server 2008 R2", 7.0f},
      {"Vista", Reported(6, 0), "Windows Vista", 6.0f},
      {"Server 2008", Server(Reported(6, 0)), "Windows Server 2008", 6.0f},
      {"Windows 8", Reported(6, 2), "Windows 8", 8.0f},
      {"Server 2012", Server(Reported(6, 2)), "Windows Server 2012", 8.0f},
      {"2000", Reported(5, 0), "Windows 2000", 3.0f},
      {"XP", Reported(5, 1), "Windows XP", 4.0f},
      {"XP x64", X64(Reported(5, 2)), "Windows XP Professional x64 Edition", 5.0f},
      {"Server 2003", Server(X64(Reported(5, 2))), "Windows Server 2003", 5.0f},
      {"Server 2003 R2", Server(Reported(5, 2), 1), "Windows Server 2003 R2", 5.0f},
      {"NT 4.0", Reported(4, 0), "Windows NT 4.0", 0.0f},
      {"95", Platform(Reported(4, 0), kPlatformWin32Windows), "Windows 95", 0.0f},
      {"98", Reported(4, 10), "Windows 98", 1.0f},
      {"Me", Reported(4, 90), "Microsoft Windows Me", 2.0f},
      {"major 4, other minor: value 0", Reported(4, 3), "", 0.0f},
      {"major 5, other minor: unchanged", Reported(5, 7), "", kUnset},
      {"6.3 without true numbers", Reported(6, 3), "", kUnset},
      {"other major", Reported(3, 51), "Error", kUnset},
      {"10 without true numbers", Reported(10, 0), "Error", kUnset},
      {"version query failed", QueryFailed(Reported(6, 1)), "", kUnset},
  };
  for (const OsCase& c : cases) {
    float version = kUnset;
    EXPECT_EQ(OsNameFromWindowsFacts(c.facts, version), c.name) << c.what;
    EXPECT_FLOAT_EQ(version, c.version) << c.what;
  }
}

TEST(GetOSName, ReportsPrettyNameAndKeepsLegacyPathsOff) {
  FakeSystemFacts facts;
  facts.prettyName = "Debian GNU/Linux 12 (bookworm)";
  float version = 0.0f;
  EXPECT_EQ(GetOSName(version), "Debian GNU/Linux 12 (bookworm)");
  EXPECT_FLOAT_EQ(version, 10.0f);
  EXPECT_FALSE(IsWindows11());
}

TEST(Bitness, ThirtyTwoBitMachineNames) {
  const std::pair<const char*, bool> cases[] = {
      {"i386", true},
      {"i686", true},
      {"armv7l", true},
      {"armv6l", true},
      {"mips", true},
      {"riscv32", true},
      {"x86_64", false},
      {"aarch64", false},
      {"ppc64le", false},
      {"s390x", false},
      {"riscv64", false},
      {"mips64", false},
      {"loongarch64", false},
      {"", false},
  };
  for (const auto& [machine, is32] : cases) EXPECT_EQ(IsSystem32BitMachine(machine), is32) << machine;
}

TEST(Bitness, Wow64MeansThirtyTwoBitProcessOnSixtyFourBitSystem) {
  struct Case {
    int bits;
    const char* machine;
    bool wow64;
    bool system32;
  };
  const Case cases[] = {
      {32, "x86_64", true, false},
      {64, "x86_64", false, false},
      {32, "i686", false, true},
      {32, "aarch64", true, false},
  };
  for (const Case& c : cases) {
    FakeSystemFacts facts;
    facts.pointerBits = c.bits;
    facts.machine = c.machine;
    EXPECT_EQ(IsWow64(), c.wow64) << c.bits << " " << c.machine;
    EXPECT_EQ(IsSystem32Bit(), c.system32) << c.bits << " " << c.machine;
  }
}

}  // namespace
