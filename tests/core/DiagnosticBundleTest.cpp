// The bundle's archive: the ZIP writer's entries (method, UTF-8 names, DOS
// times from the files) and the bundle's names and entry order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>

#include "DiagnosticBundle.h"
#include "platform/ZipArchiveWriter.h"
#include "support/TempDir.h"
#include "support/ZipReader.h"

namespace fs = std::filesystem;

namespace {

std::uint32_t DosDateOf(std::time_t when) {
  tm t{};
  localtime_r(&when, &t);
  return (static_cast<std::uint32_t>(t.tm_year + 1900 - 1980) << 25) | (static_cast<std::uint32_t>(t.tm_mon + 1) << 21) |
         (static_cast<std::uint32_t>(t.tm_mday) << 16) | (static_cast<std::uint32_t>(t.tm_hour) << 11) |
         (static_cast<std::uint32_t>(t.tm_min) << 5) | (static_cast<std::uint32_t>(t.tm_sec) / 2);
}

TEST(ZipArchiveWriter, DeflatesOrStoresByKindWithUtf8NamesAndFileTimes) {
  TempDir dir;
  const std::string text(20000, 'a');
  dir.Write("run.log", text);
  dir.Write("old.GZ", "already packed");
  dir.Write("日志.txt", "名字");
  const std::time_t when = 1704110400;  // 2024-01-01 12:00:00 UTC
  for (const char* name : {"run.log", "old.GZ", "日志.txt"}) {
    utimbuf times{when, when};
    ASSERT_EQ(utime((dir / name).c_str(), &times), 0);
  }
  platform::ZipArchiveWriter zip;
  ASSERT_TRUE(zip.Create(dir / "out.zip"));
  EXPECT_TRUE(zip.AddFile("run.log", dir / "run.log"));
  EXPECT_TRUE(zip.AddFile("folder/old.GZ", dir / "old.GZ"));
  EXPECT_TRUE(zip.AddFile("日志.txt", dir / "日志.txt"));
  EXPECT_FALSE(zip.AddFile("missing", dir / "missing"));
  ASSERT_TRUE(zip.Close());

  std::vector<ZipEntry> entries;
  ASSERT_TRUE(ReadZip(dir / "out.zip", entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "run.log");
  EXPECT_EQ(entries[0].method, 8);
  EXPECT_EQ(entries[0].content, text);
  EXPECT_EQ(entries[1].name, "folder/old.GZ");
  EXPECT_EQ(entries[1].method, 0);
  EXPECT_EQ(entries[2].name, "日志.txt");
  EXPECT_EQ(entries[2].content, "名字");
  for (const auto& entry : entries) {
    EXPECT_NE(entry.flags & (1u << 11), 0u) << entry.name;  // UTF-8 names
    EXPECT_EQ(entry.flags & 1u, 0u) << entry.name;          // no encryption
    EXPECT_EQ(entry.dosDate, DosDateOf(when)) << entry.name;
  }
}

TEST(ZipArchiveWriter, StoredKinds) {
  for (const char* name : {"a.Z", "a.zip", "A.ZOO", "a.arc", "a.lzh", "a.arj", "a.gz", "dir.x/a.tgz"}) {
    EXPECT_TRUE(platform::ZipArchiveWriter::IsStoredKind(name)) << name;
  }
  for (const char* name : {"a.log", "a.dmp", "zip", "dir.gz/file", "a.gzip"}) {
    EXPECT_FALSE(platform::ZipArchiveWriter::IsStoredKind(name)) << name;
  }
}

TEST(DiagnosticBundle, NamesOfTheArchiveAndTheUpload) {
  EXPECT_EQ(BundleArchivePath("/logs/", "20240101120000123"), "/logs/20240101120000123.zip");
  EXPECT_EQ(BundleUploadName("markeraser_setup_20231231235959001.log", "20240101120000123"),
            "markeraser_setup_20240101120000123.zip");
  EXPECT_EQ(BundleUploadName("a_b_c.log", "20240101120000123"), "a_b_20240101120000123.zip");
  EXPECT_EQ(BundleUploadName("plain.log", "20240101120000123"), "");
}

TEST(DiagnosticBundle, EntriesInPackingOrder) {
  TempDir dir;
  const std::string folder = dir.path() + "/";
  dir.Write("run_1.log", "log");
  dir.Write("other.dmp", "d1");
  dir.Write("extra.txt", "x");
  fs::create_directories(dir / "folder.dmp");
  using Entries = std::vector<std::pair<std::string, std::string>>;
  // Without the run's own dump every *.dmp file of the folder goes in.
  EXPECT_EQ(BundleEntries(folder, "run_1.log", "", true),
            (Entries{{"run_1.log", folder + "run_1.log_copy.log"}, {"other.dmp", folder + "other.dmp"}}));
  dir.Write("run_1.log.dmp", "d2");
  EXPECT_EQ(BundleEntries(folder, "run_1.log", dir / "extra.txt", true),
            (Entries{{"run_1.log", folder + "run_1.log_copy.log"},
                     {"run_1.log.dmp", folder + "run_1.log.dmp"},
                     {"extra.txt", dir / "extra.txt"}}));
  EXPECT_EQ(BundleEntries(folder, "run_1.log", dir / "missing.txt", false),
            (Entries{{"run_1.log", folder + "run_1.log_copy.log"}}));
}

TEST(DiagnosticBundle, RefusesNamesOutsideTheLogFolder) {
  for (const char* name : {"../escape.log", "/tmp/crash.log", "..", "."}) {
    EXPECT_EQ(UploadDiagnosticBundle(name, "CrashDmp", "", true), -1) << name;
  }
}

}  // namespace
