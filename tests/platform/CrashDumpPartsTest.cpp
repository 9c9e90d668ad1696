// The allocation-free pieces the crash handler builds its dump and log lines
// from: /proc maps lines, module ranges, ELF build-ids, fixed-buffer text and
// the civil time of a second count.
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ElfBuildId.h"
#include "platform/FixedText.h"
#include "platform/ProcMaps.h"
#include "platform/SignalSafeLog.h"

namespace {

std::string Path(const platform::MapsEntry& entry) { return std::string(entry.path, entry.pathLength); }

TEST(ProcMaps, ParsesLinesAndRefusesMalformedOnes) {
  platform::MapsEntry entry;
  const char* line = "55d0c1a00000-55d0c1a2b000 r-xp 0002b000 fd:01 1234567    /opt/app/bin/with space\n";
  ASSERT_TRUE(platform::ParseMapsLine(line, std::strlen(line), entry));
  EXPECT_EQ(entry.start, 0x55d0c1a00000u);
  EXPECT_EQ(entry.end, 0x55d0c1a2b000u);
  EXPECT_EQ(entry.offset, 0x2b000u);
  EXPECT_EQ(entry.inode, 1234567u);
  EXPECT_TRUE(entry.readable);
  EXPECT_FALSE(entry.writable);
  EXPECT_TRUE(entry.executable);
  EXPECT_EQ(Path(entry), "/opt/app/bin/with space");

  const char* anonymous = "7ffd1000-7ffd2000 rw-p 00000000 00:00 0 ";
  ASSERT_TRUE(platform::ParseMapsLine(anonymous, std::strlen(anonymous), entry));
  EXPECT_EQ(Path(entry), "");
  for (const char* bad : {"", "zz-10 r-xp 0 0:0 0", "2000-1000 r-xp 00000000 00:00 0", "1000-2000 r-xp"}) {
    EXPECT_FALSE(platform::ParseMapsLine(bad, std::strlen(bad), entry)) << bad;
  }
}

TEST(ProcMaps, GroupsTheMappingsOfEachFileIntoModules) {
  const std::string maps =
      "1000-2000 r--p 00000000 08:01 11 /usr/bin/app\n"
      "2000-5000 r-xp 00001000 08:01 11 /usr/bin/app\n"
      "5000-6000 rw-p 00004000 08:01 11 /usr/bin/app\n"
      "6000-7000 rw-p 00000000 00:00 0 \n"
      "7000-8000 rw-p 00000000 00:00 0 [heap]\n"
      "9000-a000 r--p 00000000 08:01 22 /usr/lib/libx.so\n"
      "a000-b000 ---p 00001000 08:01 22 /usr/lib/libx.so\n"
      "b000-c000 r--p 00000000 00:05 33 /dev/dri/card0\n"
      "c000-d000 r--p 00000000 08:01 44 /usr/lib/data.so\n"
      "d000-e000 r--p 00001000 08:01 45 /usr/lib/other.so\n"
      "not a line\n";
  platform::MapsEntry entries[16];
  const std::size_t count = platform::ParseMaps(maps.data(), maps.size(), entries, 16);
  ASSERT_EQ(count, 10u);
  platform::ModuleRange modules[8];
  const std::size_t found = platform::CollectModules(entries, count, modules, 8);
  ASSERT_EQ(found, 3u);
  EXPECT_EQ(Path(entries[modules[0].firstEntry]), "/usr/bin/app");
  EXPECT_EQ(modules[0].base, 0x1000u);
  EXPECT_EQ(modules[0].end, 0x6000u);
  EXPECT_EQ(modules[1].base, 0x9000u);
  EXPECT_EQ(modules[1].end, 0xb000u);
  EXPECT_EQ(Path(entries[modules[2].firstEntry]), "/usr/lib/data.so");
  EXPECT_EQ(modules[2].end, 0xd000u);
  EXPECT_EQ(platform::FindMapping(entries, count, 0x7fff), 4);
  EXPECT_EQ(platform::FindMapping(entries, count, 0x8000), -1);
}

int FindOwnBase(dl_phdr_info* info, size_t, void* data) {
  if (info->dlpi_name == nullptr || info->dlpi_name[0] != '\0') return 0;  // the executable has no name here
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type == PT_LOAD) {
      *static_cast<std::uint64_t*>(data) = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr - info->dlpi_phdr[i].p_offset;
      return 1;
    }
  }
  return 0;
}

bool ReadFromString(std::uint64_t address, void* out, std::size_t size, void* context) {
  const auto* file = static_cast<const std::string*>(context);
  if (address > file->size() || size > file->size() - address) return false;
  std::memcpy(out, file->data() + address, size);
  return true;
}

TEST(ElfBuildId, ReadsTheRunningExecutablesIdAsTheFileHoldsIt) {
  std::uint64_t base = 0;
  ASSERT_NE(dl_iterate_phdr(&FindOwnBase, &base), 0);
  std::uint8_t loaded[64];
  const std::size_t length = platform::ReadElfBuildId(base, &platform::ReadOwnMemory, nullptr, loaded, sizeof loaded);
  ASSERT_EQ(length, 20u);  // the toolchain's default SHA-1 id

  std::ifstream in("/proc/self/exe", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string file = bytes.str();
  std::uint8_t onDisk[64];
  ASSERT_EQ(platform::ReadElfBuildId(0, &ReadFromString, const_cast<std::string*>(&file), onDisk, sizeof onDisk), 20u);
  EXPECT_EQ(std::memcmp(loaded, onDisk, 20), 0);

  const std::string notElf(4096, 'x');
  EXPECT_EQ(platform::ReadElfBuildId(0, &ReadFromString, const_cast<std::string*>(&notElf), onDisk, 64), 0u);
  EXPECT_FALSE(platform::ReadOwnMemory(8, onDisk, 8, nullptr));  // unreadable: an error, not a fault
}

TEST(FixedText, AppendsNumbersAndCutsWhatDoesNotFit) {
  char buffer[32];
  platform::FixedText text(buffer, sizeof buffer);
  text.Append("id ").AppendSigned(-42).AppendChar(' ').AppendUnsigned(7, 3).AppendChar(' ').AppendUnsigned(0);
  EXPECT_STREQ(text.c_str(), "id -42 007 0");
  char small[6];
  platform::FixedText cut(small, sizeof small);
  cut.Append("overflowing");
  EXPECT_STREQ(cut.c_str(), "overf");
  EXPECT_EQ(cut.size(), 5u);
}

TEST(SignalSafeTime, CivilDatesOfSecondCounts) {
  struct Case {
    long long seconds;
    int year, month, day, hour, minute, second;
  };
  const Case cases[] = {
      {0, 1970, 1, 1, 0, 0, 0},
      {951782400, 2000, 2, 29, 0, 0, 0},
      {1704110400, 2024, 1, 1, 12, 0, 0},
      {4102444799, 2099, 12, 31, 23, 59, 59},
      {-1, 1969, 12, 31, 23, 59, 59},
  };
  for (const Case& c : cases) {
    const platform::LocalTimeFields t = platform::CivilTimeFromSeconds(c.seconds, 123);
    EXPECT_EQ(t.year, c.year) << c.seconds;
    EXPECT_EQ(t.month, c.month) << c.seconds;
    EXPECT_EQ(t.day, c.day) << c.seconds;
    EXPECT_EQ(t.hour, c.hour) << c.seconds;
    EXPECT_EQ(t.minute, c.minute) << c.seconds;
    EXPECT_EQ(t.second, c.second) << c.seconds;
    EXPECT_EQ(t.millisecond, 123);
  }
}

}  // namespace
