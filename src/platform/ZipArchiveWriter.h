#pragma once
// A ZIP archive written through minizip: deflate at level 8, except files of
// already-compressed kinds, which are stored; UTF-8 entry names; each entry
// dated with its file's last-write time (DOS date and time, local time).
#include <string>

namespace platform {

class ZipArchiveWriter {
 public:
  ZipArchiveWriter() = default;
  ~ZipArchiveWriter();
  ZipArchiveWriter(const ZipArchiveWriter&) = delete;
  ZipArchiveWriter& operator=(const ZipArchiveWriter&) = delete;

  // Creates the archive, replacing an older file of that name.
  bool Create(const std::string& path);
  // Adds the file at sourcePath under entryName ("/" separates folders).
  // False, with nothing added, when the file cannot be read.
  bool AddFile(const std::string& entryName, const std::string& sourcePath);
  bool Close();

  static constexpr int kDeflateLevel = 8;
  // ".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz", in any case.
  static bool IsStoredKind(const std::string& path);

 private:
  void* zip_ = nullptr;
};

}  // namespace platform
