#pragma once
// Random GUIDs and the two text forms the module uses.
#include <cstdint>
#include <string>

namespace report {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

// A version-4 GUID from the system's random source; false when none is available.
bool NewGuid(Guid& guid);
// "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X" (identity record).
std::string FormatUserGuid(const Guid& guid);
// "%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X" (session id: third group lower case).
std::string FormatSessionGuid(const Guid& guid);
// The session id of this process, made on first use; empty while it cannot be made.
std::string SessionId();

}  // namespace report
