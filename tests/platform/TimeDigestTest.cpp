// China Standard Time text and MD5 digests.
#include <gtest/gtest.h>

#include <ctime>

#include "FuntionImpl.h"
#include "platform/FakeSystemFacts.h"

namespace {

std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  return timegm(&parts);
}

TEST(FormatChinaStandardTime, IsUtcPlusEightHours) {
  const std::pair<std::time_t, const char*> cases[] = {
      {Utc(2024, 3, 15, 0, 30, 0), "2024-03-15 08:30:00"},
      {Utc(2024, 3, 15, 20, 0, 0), "2024-03-16 04:00:00"},
      {Utc(2024, 1, 31, 20, 0, 5), "2024-02-01 04:00:05"},
      {Utc(2024, 2, 28, 16, 0, 0), "2024-02-29 00:00:00"},
      {Utc(2023, 12, 31, 23, 59, 59), "2024-01-01 07:59:59"},
      {Utc(2024, 7, 1, 15, 59, 59), "2024-07-01 23:59:59"},  // no summer time
      {0, "1970-01-01 08:00:00"},
  };
  for (const auto& [utc, text] : cases) EXPECT_EQ(FormatChinaStandardTime(utc), text) << utc;
}

TEST(GetChinaStandardTime, UsesTheCurrentUtcTime) {
  FakeSystemFacts facts;
  facts.utcNow = Utc(2025, 6, 30, 20, 15, 9);
  EXPECT_EQ(GetChinaStandardTime(), "2025-07-01 04:15:09");
}

TEST(GetMd5Hex, Rfc1321Suite) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {std::string("a\0b", 3), "70350f6027bce3713f6b76473084309b"},  // every byte counts
  };
  for (const auto& [text, hex] : cases) EXPECT_EQ(GetMd5Hex(text), hex) << text;
}

}  // namespace
