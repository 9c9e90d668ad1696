#include "ReportText.h"

#include <json/writer.h>
#include <openssl/evp.h>
#include <sys/time.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

namespace report {

namespace {

bool KeptInHit(unsigned char c) {
  if (std::isalnum(c)) return true;
  switch (c) {
    case '-':
    case '_':
    case '.':
    case '!':
    case '~':
    case '&':
    case '=':
    case '*':
    case '\'':
    case '(':
    case ')':
      return true;
    default:
      return false;
  }
}

std::string UpperHexDigits(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

// "aa:bb:cc:dd:ee:ff" as "AABBCCDDEEFF"; empty unless it is six bytes.
std::string AdapterHex(const std::string& address) {
  unsigned b[6];
  char tail = 0;
  if (std::sscanf(address.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4],
                  &b[5], &tail) != 6) {
    return {};
  }
  char text[16];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
  return text;
}

}  // namespace

std::string EscapeHitText(const std::string& hit) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(hit.size() * 2);
  for (const char ch : hit) {
    const auto c = static_cast<unsigned char>(ch);
    if (KeptInHit(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0f];
    }
  }
  return out;
}

std::string ClientId(const std::string& volumeUuid, const std::string& adapterAddress) {
  std::string serial = UpperHexDigits(volumeUuid);
  const auto first = serial.find_first_not_of('0');
  serial = first == std::string::npos ? (serial.empty() ? "" : "0") : serial.substr(first);
  return serial + AdapterHex(adapterAddress);
}

std::string ProxyWordFromFile(const std::string& path) {
  std::ifstream in(path);
  std::string word;
  if (!in || !(in >> word)) return {};
  return word.substr(0, 254);
}

std::string StyledJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "\t";
  builder["commentStyle"] = "None";
  return Json::writeString(builder, value) + "\n";
}

std::string Md5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 0x0f];
  }
  return out;
}

long long LocalEpochMillis() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  local.tm_isdst = 0;
  return static_cast<long long>(std::mktime(&local)) * 1000 + now.tv_usec / 1000;
}

std::string OsVersionText(const std::string& osName, bool system64Bit) {
  return osName + (system64Bit ? " x64" : " x32");
}

}  // namespace report
