#pragma once
// Free helpers that answer questions about the machine, its executables,
// processes, folders and drives. None keeps state between calls (apart from
// the screen provider the window layer registers); none throws. Each query
// function has a pure core over injected facts, so the rules can be tested
// without the machine that would produce them.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "platform/SystemFacts.h"

// ---- Operating system ----------------------------------------------------

// Windows version facts, as the Windows build of the program would read them.
struct WindowsVersionFacts {
  std::string currentBuild;          // "CurrentBuild" (or "CurrentBuildNumber"); empty when unreadable
  int trueMajor = 0, trueMinor = 0;  // true version numbers; 0 when not available
  bool versionQueryOk = true;        // the compatibility-layer query succeeded
  int major = 0, minor = 0;          // numbers the compatibility layer reports
  int platformId = 2;                // 1 = Windows 9x family, 2 = NT family
  bool workstation = true;           // product type workstation (else server)
  bool x64 = false;                  // x64 processor architecture
  int serverR2 = 0;                  // SM_SERVERR2 metric
};
inline constexpr int kPlatformWin32Windows = 1;
inline constexpr int kPlatformWin32Nt = 2;

// Name and version value of a Windows release; version stays as given where
// the rules leave it unchanged.
std::string OsNameFromWindowsFacts(const WindowsVersionFacts& facts, float& version);
bool IsWindows11Build(const std::string& currentBuild);  // build number > 21999

// PRETTY_NAME of os-release; version is set to 10.0 so that the paths meant
// for legacy Windows stay off.
std::string GetOSName(float& version);
bool IsWindows11();  // false on Linux

// 32-bit machine names from uname ("i686", "armv7l"); unknown text is not 32-bit.
bool IsSystem32BitMachine(const std::string& machine);
bool IsWow64For(int processPointerBits, const std::string& machine);
bool IsWow64();        // a 32-bit process on a 64-bit system
bool IsSystem32Bit();  // the system itself is 32-bit: the only case the start-up refuses
bool IsSystem64Bit();  // the system is 64-bit, whatever this process is

// ---- Language and region ------------------------------------------------

// "Language_Country" of a LANGID; unlisted ids give "0x%.4x_0x%.4x".
std::string GetUILanguageName(std::uint16_t langId);
std::string GetUILanguageName();
// LANGID of a POSIX locale ("ja_JP.UTF-8" -> 0x0411); C, POSIX, empty and
// unknown languages give 0x0409.
std::uint16_t LangIdFromLocale(const std::string& locale);
// LC_ALL, then LC_MESSAGES, then LANG: the first that is set and not empty.
std::string EffectiveLocale(const platform::LocaleEnv& env);
std::uint16_t GetUserDefaultUILanguage();
std::string RegionFromLocale(const std::string& locale);  // "JP", or empty
// The region of the effective locale, else of the desktop's region setting;
// logs its result.
std::string GetSystemRegion();

// ---- Screen ----------------------------------------------------------------

// Filled in by the window layer: pixel width and height of the screen and its
// display scale; false when it cannot tell.
using ScreenInfoProvider = std::function<bool(int& width, int& height, double& scale)>;
void SetScreenInfoProvider(ScreenInfoProvider provider);
// The display scale (1.0 without scaling); width and height stay unchanged
// when no provider answers.
double GetScreenResolution(int& width, int& height);

// ---- Version record of an executable ------------------------------------

struct VersionStrings {
  std::string productName;
  std::string productVersion;
  std::string legalCopyright;
  std::string fileDescription;
};
// Read from the ".qm_version" section of an ELF64 file; empty fields for a
// file without one.
VersionStrings GetVersionStrings(const std::string& path);
std::string GetFileVersionString(const std::string& path);  // "%d.%d.%d.%d" or empty

// ---- Time and digests -----------------------------------------------------

std::string FormatChinaStandardTime(std::time_t utc);  // UTC+8, "YYYY-MM-DD hh:mm:ss"
std::string GetChinaStandardTime();
// Local time as 17 digits: year, month, day, hour, minute, second, millisecond.
std::string LocalTimeStamp17();
// Bytes as lower-case hex, two characters each.
std::string HexLower(const unsigned char* bytes, std::size_t size);
std::string GetMd5Hex(const std::string& text);  // 32 lower-case hex characters

// ---- Registry store -------------------------------------------------------

// Local-machine hive; empty when absent. RegSetString reports success.
std::string RegGetString(const std::string& key, const std::string& name);
bool RegSetString(const std::string& key, const std::string& name, const std::string& value);
// Current-user hive.
std::string RegGetStringUser(const std::string& key, const std::string& name);
bool RegSetStringUser(const std::string& key, const std::string& name, const std::string& value);

// ---- Drives, folders, text ----------------------------------------------

// The path moved to the eligible drive (fixed, not USB, writable) with
// strictly the most free space; ties keep the drive listed first. The path's
// own root is the longest listed root it starts with; a path on no listed
// root is returned unchanged.
std::string ChooseBestDrive(const std::string& path, const std::vector<platform::DriveInfo>& drives);
void MoveToBestDrive(std::string& path);
int GetDriveBusType(const std::string& mountPoint);  // 7 = USB; 0 when unknown

// Creates every missing folder of path. 0 when the folder exists at the end,
// 112 when a step ran out of space, else the errno of the last step.
int CreateDirectories(const std::string& path);
// The same for the program's own folders: new ones 0700, the last one made
// 0700 even when it existed.
int CreatePrivateDirectories(const std::string& path);

// First folder + sub/.../relative that exists, depth first; folder ends in "/".
std::string FindFileInSubfolders(const std::string& folder, const std::string& relative);

// Replaces every occurrence of find; returns the count. The search resumes
// after each inserted replacement.
int ReplaceAll(std::string& text, const std::string& find, const std::string& replacement);

// No firewall registration on Linux: does nothing and returns 0.
int AllowThroughFirewall(const std::string& path);

namespace FuntionImpl {

// Finds (and with kill, ends with SIGKILL) the processes whose executable is
// path; with alsoInstallerTemp also the installer's ".tmp" helper. Returns the
// id of the last match, -1 when none matched, -2 when /proc cannot be read.
int FindProcessByFullPath(std::string path, bool kill, bool alsoInstallerTemp);

// True when the package carries a valid signature of a trusted publisher.
// Logs " VerifyEmbeddedSignature result is " with the result and its message.
bool VerifyEmbeddedSignature(const std::string& path);
// The same check through a file already open, so that what is checked is what
// is later run.
bool VerifyEmbeddedSignature(int fd, const std::string& path);

// Starts the installed product (path in double quotes) in its own folder.
// 0 on success; -1 after logging and reporting "StartWindowError" with the
// error number ("2" for a missing file).
int StartTargetMainExe(const std::string& quotedPath, int startFlag);

// The product has no system service on Linux: nothing to stop, always 0.
int StopProductService();

}  // namespace FuntionImpl
