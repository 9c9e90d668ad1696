#pragma once
// Pure text rules of the reporting module.
#include <json/value.h>

#include <string>

namespace report {

// Byte-wise escaping of a hit text: letters, digits and - _ . ! ~ & = * ' ( )
// stay; every other byte becomes "%" and two lower-case hex digits. "&" and
// "=" stay, so a value holding them splits into extra pairs.
std::string EscapeHitText(const std::string& hit);

// Client id: the volume serial as upper-case hex without leading zeros (the
// hex digits of the volume UUID), then the six adapter bytes as "%02X" each.
// A part that cannot be formed is left out.
std::string ClientId(const std::string& volumeUuid, const std::string& adapterAddress);

// First whitespace-delimited word of a "proxy.txt", at most 254 characters;
// empty when the file is missing or blank.
std::string ProxyWordFromFile(const std::string& path);

// The styled form of the documents: tab indentation, sorted keys, final line break.
std::string StyledJson(const Json::Value& value);

// 32 lower-case hex characters.
std::string Md5Hex(const std::string& text);

// Local date and time as milliseconds since the epoch, daylight-saving time
// marked as not in effect.
long long LocalEpochMillis();

// OS name followed by " x64" on a 64-bit system, else " x32".
std::string OsVersionText(const std::string& osName, bool system64Bit);

}  // namespace report
