#pragma once
// Test switches read from "qm_downloader.cfg" beside the executable: an INI
// file with section [Settings] and the integer keys TestEnv, AutoRun and
// CrashTest. A key counts only when its value is exactly 1; without the file
// nothing is set. The file is read afresh on every call.
#include <string>

bool IsTestEnv();
bool IsAutoRun();
bool IsCrashTest();

namespace testsettings {

inline constexpr const char* kFileName = "qm_downloader.cfg";

// Integer value of key in section of an INI text, read like the platform's
// private-profile integer read: names compare without case, the value's
// leading sign and digits count, anything else gives defaultValue.
int ReadProfileInt(const std::string& iniText, const std::string& section, const std::string& key,
                   int defaultValue);

// Path of the settings file: the running executable's folder + kFileName.
std::string SettingsFilePath();

// Reads the settings from another file (tests); empty restores the default.
void SetSettingsFileForTesting(const std::string& path);

}  // namespace testsettings
