#include <gtest/gtest.h>

#include "platform/MemoryZip.h"
#include "platform/SkinResourceTable.h"

TEST(SkinResource, FoundByTypeAndIdOnly) {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(platform::FindEmbeddedResource("ZIPRES", 138, &data, &size));
  EXPECT_GT(size, 100u);
  EXPECT_EQ(data[0], 'P');
  EXPECT_EQ(data[1], 'K');
  EXPECT_FALSE(platform::FindEmbeddedResource("ZIPRES", 139, &data, &size));
  EXPECT_FALSE(platform::FindEmbeddedResource("PNG", 138, &data, &size));
}

TEST(MemoryZip, ReadsMembersByNameWithEitherSeparator) {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(platform::FindEmbeddedResource("ZIPRES", 138, &data, &size));
  platform::MemoryZip zip;
  ASSERT_TRUE(zip.Open(data, size));
  std::string xml;
  ASSERT_TRUE(zip.ReadFile("configure/configure.xml", xml));
  EXPECT_NE(xml.find("Product_config"), std::string::npos);
  std::string again;
  ASSERT_TRUE(zip.ReadFile("configure\\configure.xml", again));
  EXPECT_EQ(xml, again);
  EXPECT_FALSE(zip.ReadFile("configure/missing.xml", again));
  const auto names = zip.FileNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "configure/configure.xml"), names.end());
}

TEST(MemoryZip, DamagedArchivesAreRefused) {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  ASSERT_TRUE(platform::FindEmbeddedResource("ZIPRES", 138, &data, &size));
  platform::MemoryZip zip;
  const std::string notZip = "this is not a zip archive at all";
  EXPECT_FALSE(zip.Open(reinterpret_cast<const unsigned char*>(notZip.data()), notZip.size()));
  EXPECT_FALSE(zip.Open(nullptr, 0));
  // Cut off the central directory: nothing can be found.
  EXPECT_FALSE(zip.Open(data, size / 2));
  // Flip a byte inside a member's compressed data: its read fails.
  std::string copy(reinterpret_cast<const char*>(data), size);
  const std::string member = "configure/configure.xml";
  const auto header = copy.find(std::string("PK\x03\x04", 4));
  const auto name = copy.find(member, header);
  ASSERT_NE(name, std::string::npos);
  const auto localHeader = name - 30;
  const auto extraLength = static_cast<unsigned char>(copy[localHeader + 28]) |
                           static_cast<unsigned char>(copy[localHeader + 29]) << 8;
  copy[name + member.size() + extraLength + 10] ^= 0x5a;
  platform::MemoryZip damaged;
  ASSERT_TRUE(damaged.Open(reinterpret_cast<const unsigned char*>(copy.data()), copy.size()));
  std::string out;
  EXPECT_FALSE(damaged.ReadFile(member, out));
}
