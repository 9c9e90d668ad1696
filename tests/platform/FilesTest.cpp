// Best drive, folder creation, file search and text replacement.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "FuntionImpl.h"
#include "platform/FakeSystemFacts.h"
#include "support/TempDir.h"

namespace {

constexpr std::uint64_t kGB = 1000ULL * 1000 * 1000;

platform::DriveInfo Fixed(const char* root, std::uint64_t free) { return {root, true, 0, free, true}; }
platform::DriveInfo Usb(const char* root, std::uint64_t free) { return {root, true, 7, free, true}; }
platform::DriveInfo Removable(const char* root, std::uint64_t free) { return {root, false, 0, free, true}; }
platform::DriveInfo ReadOnly(const char* root, std::uint64_t free) { return {root, true, 0, free, false}; }

struct DriveCase {
  const char* what;
  std::vector<platform::DriveInfo> drives;
  const char* path;
  const char* expected;
};

TEST(ChooseBestDrive, MovesToTheFixedNonUsbDriveWithMostFreeSpace) {
  const std::vector<platform::DriveInfo> windows = {Fixed("C:\\", 10 * kGB), Fixed("D:\\", 200 * kGB),
                                                    Usb("E:\\", 900 * kGB)};
  const std::vector<platform::DriveInfo> linux = {Fixed("/", 10 * kGB), Fixed("/home", 50 * kGB),
                                                  Fixed("/data", 200 * kGB), Usb("/media/stick", 900 * kGB)};
  const DriveCase cases[] = {
      {"C: to D:", windows, "C:\\Vantor\\work", "D:\\Vantor\\work"},
      {"already best", windows, "D:\\Vantor", "D:\\Vantor"},
      {"off the USB disk", windows, "E:\\Vantor", "D:\\Vantor"},
      {"tie keeps the first listed", {Fixed("C:\\", 5), Fixed("D:\\", 7), Fixed("F:\\", 7)}, "C:\\x", "D:\\x"},
      {"only USB", {Usb("C:\\", 5), Usb("D:\\", 9)}, "C:\\x", "C:\\x"},
      {"removable and read-only are skipped", {Fixed("C:\\", 5), Removable("D:\\", 9), ReadOnly("F:\\", 9)}, "C:\\x", "C:\\x"},
      {"no free space anywhere", {Fixed("C:\\", 0), Fixed("D:\\", 0)}, "C:\\x", "C:\\x"},
      {"root to mount point", linux, "/opt/Vantor", "/data/opt/Vantor"},
      {"longest root is its own", linux, "/home/u/Vantor", "/data/u/Vantor"},
      {"mount point to root", {Fixed("/", 90), Fixed("/home", 5)}, "/home/u/Vantor", "/u/Vantor"},
      {"whole components only", linux, "/homework/Vantor", "/data/homework/Vantor"},
      {"the root itself", linux, "/home", "/data"},
      {"path on no listed drive", linux, "relative/Vantor", "relative/Vantor"},
  };
  for (const DriveCase& c : cases) EXPECT_EQ(ChooseBestDrive(c.path, c.drives), c.expected) << c.what;
}

TEST(MoveToBestDrive, UsesTheMachinesDrives) {
  FakeSystemFacts facts;
  facts.drives = {Fixed("C:\\", 10 * kGB), Fixed("D:\\", 200 * kGB), Usb("E:\\", 900 * kGB)};
  std::string path = "C:\\RARivadurize\\setup";
  MoveToBestDrive(path);
  EXPECT_EQ(path, "D:\\RARivadurize\\setup");
  EXPECT_EQ(GetDriveBusType("E:\\"), 7);
  EXPECT_EQ(GetDriveBusType("D:\\"), 0);
  EXPECT_EQ(GetDriveBusType("Z:\\"), 0);
}

TEST(CreateDirectories, CreatesEveryMissingParent) {
  TempDir dir;
  const std::string path = dir / "a/b/c";
  EXPECT_EQ(CreateDirectories(path), 0);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(CreateDirectories(path), 0) << "existing folders are not an error";
  EXPECT_EQ(CreateDirectories(dir / "a/b/d/"), 0) << "trailing separator";
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/d"));
}

TEST(CreateDirectories, ReportsTheErrorOfTheLastStep) {
  TempDir dir;
  dir.Write("file", "x");
  EXPECT_EQ(CreateDirectories(dir / "file"), EEXIST);
  EXPECT_EQ(CreateDirectories(dir / "file/sub"), ENOTDIR);
}

TEST(FindFileInSubfolders, DepthFirstFirstHitInNameOrder) {
  TempDir dir;
  dir.Write("app.exe", "top level is not searched");
  dir.Write("b/app.exe", "");
  dir.Write("a/deep/app.exe", "");
  dir.Write("c/bin/app.exe", "");
  const std::string root = dir.path() + "/";
  EXPECT_EQ(FindFileInSubfolders(root, "app.exe"), root + "a/deep/app.exe");
  EXPECT_EQ(FindFileInSubfolders(root, "bin/app.exe"), root + "c/bin/app.exe");
  EXPECT_EQ(FindFileInSubfolders(root, "missing.exe"), "");
  EXPECT_EQ(FindFileInSubfolders(dir / "missing/", "app.exe"), "");
}

TEST(FindFileInSubfolders, DoesNotFollowLinksBackUpTheTree) {
  TempDir dir;
  std::filesystem::create_directories(dir / "a");
  std::filesystem::create_directory_symlink(dir.path(), dir / "a/loop");
  EXPECT_EQ(FindFileInSubfolders(dir.path() + "/", "missing.exe"), "");
}

TEST(ReplaceAll, CountsAndNeverRescansTheReplacement) {
  struct Case {
    std::string text, find, replacement, result;
    int count;
  };
  const Case cases[] = {
      {"https://host/path?x=1\r", "\r", "", "https://host/path?x=1", 1},
      {"a\r\nb\r\n", "\r\n", "", "ab", 2},
      {"aa", "a", "aa", "aaaa", 2},
      {"aaa", "aa", "b", "ba", 1},
      {"abc", "x", "y", "abc", 0},
      {"", "a", "b", "", 0},
      {"abc", "", "b", "abc", 0},
  };
  for (Case c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.find, c.replacement), c.count) << c.result;
    EXPECT_EQ(c.text, c.result);
  }
}

}  // namespace
