#include "platform/SystemFacts.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace platform {
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Trim(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  const auto end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// KDE keeps the region of its formats in plasma-localerc.
std::string DesktopRegionLocale() {
  std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
  if (config.empty()) {
    const std::string home = EnvOrEmpty("HOME");
    if (home.empty()) return {};
    config = home + "/.config";
  }
  // A settings file of a few lines: the first 64 KiB are enough, and a huge
  // or endless file costs no more.
  std::ifstream in(config + "/plasma-localerc", std::ios::binary);
  std::string text(64 << 10, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return ParseKdeFormatsLocale(text);
}

std::string Resolve(const std::string& path) {
  std::error_code ec;
  const fs::path resolved = fs::canonical(path, ec);
  return ec ? std::string() : resolved.string();
}

// Value of an os-release assignment: quotes removed, backslash escapes undone.
std::string OsReleaseValue(const std::string& raw) {
  std::string value = Trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    out += value[i];
  }
  return out;
}

// The sysfs folder of a block device node, e.g. /sys/devices/.../block/sda/sda1.
std::string SysfsOfDevice(const std::string& device) {
  const std::string node = Resolve(device);
  if (node.empty()) return {};
  return Resolve("/sys/class/block/" + fs::path(node).filename().string());
}

bool IsRemovableMedia(const std::string& sysfs) {
  std::error_code ec;
  fs::path disk = sysfs;
  if (fs::exists(disk / "partition", ec)) disk = disk.parent_path();
  return Trim(ReadFile((disk / "removable").string())) == "1";
}

bool IsBlockDevice(const std::string& device) {
  struct stat st {};
  return device.rfind("/dev/", 0) == 0 && stat(device.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

bool HasOption(const std::string& options, const std::string& option) {
  std::istringstream in(options);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (item == option) return true;
  }
  return false;
}

// One line of the mount table, or false when a local drive's free space
// cannot be read. Filesystems without a block device (network, virtual) are
// listed without free space: asking a dead network mount could hang.
bool DriveFromMountLine(const std::string& line, DriveInfo& drive) {
  std::istringstream in(line);
  std::string device, root, type, options;
  if (!(in >> device >> root >> type >> options)) return false;
  drive.root = UnescapeMountField(root);
  const std::string dev = UnescapeMountField(device);
  const std::string sysfs = IsBlockDevice(dev) ? SysfsOfDevice(dev) : std::string();
  if (!sysfs.empty()) {
    struct statvfs vfs {};
    if (statvfs(drive.root.c_str(), &vfs) != 0) return false;
    drive.freeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  }
  drive.fixed = !sysfs.empty() && !IsRemovableMedia(sysfs);
  drive.busType = BusTypeFromSysfsPath(sysfs);
  drive.writable = !HasOption(options, "ro") && access(drive.root.c_str(), W_OK) == 0;
  return true;
}

std::vector<std::string> UuidLinks() {
  std::vector<std::string> links;
  std::error_code ec;
  for (fs::directory_iterator it("/dev/disk/by-uuid", ec), end; !ec && it != end; it.increment(ec)) {
    links.push_back(it->path().string());
  }
  return links;
}

std::string UuidOfRootByDevNumber() {
  struct stat rootStat {};
  if (stat("/", &rootStat) != 0) return {};
  for (const std::string& link : UuidLinks()) {
    struct stat st {};
    if (stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == rootStat.st_dev) {
      return fs::path(link).filename().string();
    }
  }
  return {};
}

// Filesystems such as btrfs report an anonymous device number for "/"; then
// the device named in the mount table decides.
std::string UuidOfRootByMountDevice() {
  std::istringstream table(ReadFile("/proc/self/mounts"));
  std::string line, device, root, rootDevice;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    if (fields >> device >> root && root == "/") rootDevice = Resolve(UnescapeMountField(device));
  }
  if (rootDevice.empty()) return {};
  for (const std::string& link : UuidLinks()) {
    if (Resolve(link) == rootDevice) return fs::path(link).filename().string();
  }
  return {};
}

class LinuxFacts final : public ISystemFacts {
 public:
  std::string OsPrettyName() const override {
    std::string text = ReadFile("/etc/os-release");
    if (text.empty()) text = ReadFile("/usr/lib/os-release");
    return ParseOsReleasePrettyName(text);
  }

  std::string Machine() const override {
    struct utsname info {};
    return uname(&info) == 0 ? info.machine : "";
  }

  int PointerBits() const override { return static_cast<int>(sizeof(void*) * 8); }

  LocaleEnv Locale() const override {
    return {EnvOrEmpty("LC_ALL"), EnvOrEmpty("LC_MESSAGES"), EnvOrEmpty("LANG"), DesktopRegionLocale()};
  }

  std::vector<DriveInfo> Drives() const override;

  std::time_t UtcNow() const override { return std::time(nullptr); }

  std::string RootFsUuid() const override {
    const std::string uuid = UuidOfRootByDevNumber();
    return uuid.empty() ? UuidOfRootByMountDevice() : uuid;
  }

  std::string DefaultRouteMac() const override {
    const std::string iface = ParseDefaultRouteInterface(ReadFile("/proc/net/route"));
    if (iface.empty() || iface.find('/') != std::string::npos) return {};
    return Trim(ReadFile("/sys/class/net/" + iface + "/address"));
  }
};

std::vector<DriveInfo> LinuxFacts::Drives() const {
  std::vector<DriveInfo> drives;
  std::istringstream table(ReadFile("/proc/self/mounts"));
  std::string line;
  while (std::getline(table, line)) {
    DriveInfo drive;
    if (!DriveFromMountLine(line, drive)) continue;
    // A later mount on the same point hides the earlier one.
    bool replaced = false;
    for (auto& known : drives) {
      if (known.root == drive.root) {
        known = drive;
        replaced = true;
      }
    }
    if (!replaced) drives.push_back(drive);
  }
  return drives;
}

std::atomic<ISystemFacts*> g_injected{nullptr};

}  // namespace

std::string ParseKdeFormatsLocale(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  bool formats = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (!line.empty() && line.front() == '[') formats = line == "[Formats]";
    else if (formats && line.rfind("LANG=", 0) == 0) return Trim(line.substr(5));
  }
  return {};
}

std::string ParseOsReleasePrettyName(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("PRETTY_NAME=", 0) == 0) return OsReleaseValue(line.substr(12));
  }
  return "Linux";
}

std::string UnescapeMountField(const std::string& field) {
  // The kernel writes blank, tab, newline and backslash as "\ooo".
  auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
        isOctal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::string ParseDefaultRouteInterface(const std::string& procNetRoute) {
  std::istringstream in(procNetRoute);
  std::string line;
  std::getline(in, line);  // column titles
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string iface, destination, gateway, flags, refCnt, use, metric, mask;
    if (!(fields >> iface >> destination >> gateway >> flags >> refCnt >> use >> metric >> mask)) continue;
    const bool up = (std::strtoul(flags.c_str(), nullptr, 16) & 0x1U) != 0;
    if (up && destination == "00000000" && mask == "00000000") return iface;
  }
  return {};
}

int BusTypeFromSysfsPath(const std::string& resolvedSysfsPath) {
  // USB first: a USB-attached disk may also sit behind a SCSI/ATA bridge.
  static const std::pair<const char*, int> kMarkers[] = {
      {"/usb", kBusTypeUsb}, {"/nvme", kBusTypeNvme}, {"/mmc_host", kBusTypeMmc}, {"/ata", kBusTypeSata}};
  for (const auto& [marker, bus] : kMarkers) {
    if (resolvedSysfsPath.find(marker) != std::string::npos) return bus;
  }
  return kBusTypeUnknown;
}

ISystemFacts& LinuxSystemFacts() {
  static LinuxFacts facts;
  return facts;
}

ISystemFacts& SystemFacts() {
  ISystemFacts* injected = g_injected.load(std::memory_order_acquire);
  return injected != nullptr ? *injected : LinuxSystemFacts();
}

void SetSystemFacts(ISystemFacts* facts) { g_injected.store(facts, std::memory_order_release); }

}  // namespace platform
