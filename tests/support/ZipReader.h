#pragma once
// Reads back a ZIP archive for tests: each entry's name, method, flags, DOS
// date and content, in archive order.
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;
  int method = -1;     // 0 stored, 8 deflate
  unsigned flags = 0;  // general-purpose bit flags
  std::uint32_t dosDate = 0;
  std::string content;
};

// False when the file is not a readable archive.
bool ReadZip(const std::string& path, std::vector<ZipEntry>& entries);
// The same for archive bytes held in memory (written to a scratch file).
bool ReadZipBytes(const std::string& bytes, const std::string& scratchPath, std::vector<ZipEntry>& entries);
