#pragma once
// Raw facts about the machine, behind one narrow interface so that the rules
// built on them (OS name, language, best drive, 32/64-bit) stay pure and can
// be tested with injected values. The Linux implementation reads os-release,
// uname, the environment, /proc and /sys afresh on every call.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace platform {

// Bus type numbers as the storage stack reports them; only USB matters to the
// rules, the others are informative.
inline constexpr int kBusTypeUnknown = 0;
inline constexpr int kBusTypeUsb = 7;
inline constexpr int kBusTypeSata = 11;
inline constexpr int kBusTypeMmc = 13;
inline constexpr int kBusTypeNvme = 17;

// One mounted filesystem ("drive"); its root is the mount point.
struct DriveInfo {
  std::string root;
  bool fixed = false;  // local block-device filesystem, not removable media
  int busType = kBusTypeUnknown;
  std::uint64_t freeBytes = 0;  // available to this process
  bool writable = true;         // mounted read-write and the root accepts new entries
};

struct LocaleEnv {
  std::string lcAll;
  std::string lcMessages;
  std::string lang;
  // The desktop's own region setting as a locale ("de_DE.UTF-8"); empty
  // where the desktop has none.
  std::string desktopRegion;
};

// The "LANG" of the [Formats] group of a KDE plasma-localerc text; empty
// when absent.
std::string ParseKdeFormatsLocale(const std::string& text);

class ISystemFacts {
 public:
  virtual ~ISystemFacts() = default;
  virtual std::string OsPrettyName() const = 0;  // PRETTY_NAME of os-release
  virtual std::string Machine() const = 0;       // uname machine, e.g. "x86_64"
  virtual int PointerBits() const = 0;           // of this process: 32 or 64
  virtual LocaleEnv Locale() const = 0;
  virtual std::vector<DriveInfo> Drives() const = 0;  // in mount-table order
  virtual std::time_t UtcNow() const = 0;
  virtual std::string RootFsUuid() const = 0;       // empty when unknown
  virtual std::string DefaultRouteMac() const = 0;  // "aa:bb:cc:dd:ee:ff", empty when unknown
};

// The facts in force: the real machine unless a test injected its own.
// SetSystemFacts(nullptr) restores the real machine; the injected object must
// outlive its use.
ISystemFacts& SystemFacts();
void SetSystemFacts(ISystemFacts* facts);
ISystemFacts& LinuxSystemFacts();

// Text parsers used by the Linux facts, exposed for tests.
std::string ParseOsReleasePrettyName(const std::string& text);  // "Linux" when absent
std::string UnescapeMountField(const std::string& field);       // \040 and friends
std::string ParseDefaultRouteInterface(const std::string& procNetRoute);
int BusTypeFromSysfsPath(const std::string& resolvedSysfsPath);

}  // namespace platform
