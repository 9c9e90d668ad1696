// Version record read from an executable's ".qm_version" section.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "BuildSettings.h"
#include "FuntionImpl.h"
#include "support/TempDir.h"

// Referring to the record links it into this test program.
extern "C" const char* qm_version_stamp_text();

namespace {

TEST(VersionStrings, ReadFromOwnExecutable) {
  ASSERT_NE(qm_version_stamp_text(), nullptr);
  const VersionStrings strings = GetVersionStrings("/proc/self/exe");
  EXPECT_EQ(strings.productName, "Vantor Mark Eraser");
  EXPECT_EQ(strings.productVersion, build::kProductVersion);
  EXPECT_FALSE(strings.legalCopyright.empty());
  EXPECT_FALSE(strings.fileDescription.empty());
  EXPECT_EQ(GetFileVersionString("/proc/self/exe"), build::kProductVersion);
}

TEST(VersionStrings, FilesWithoutTheSectionGiveEmptyStrings) {
  TempDir dir;
  // The record's text in a file is not a record: only the section counts.
  dir.Write("stamp.txt", qm_version_stamp_text());
  std::ifstream self("/proc/self/exe", std::ios::binary);
  std::string head(64 * 1024, '\0');
  self.read(head.data(), static_cast<std::streamsize>(head.size()));
  dir.Write("truncated", head);  // header points past the end of the file
  dir.Write("empty", "");
  for (const std::string& path : {dir / "stamp.txt", dir / "truncated", dir / "empty", dir / "missing",
                                  std::string("/bin/sleep")}) {
    const VersionStrings strings = GetVersionStrings(path);
    EXPECT_EQ(strings.productName, "") << path;
    EXPECT_EQ(strings.productVersion, "") << path;
    EXPECT_EQ(strings.legalCopyright, "") << path;
    EXPECT_EQ(strings.fileDescription, "") << path;
    EXPECT_EQ(GetFileVersionString(path), "") << path;
  }
}

}  // namespace
