#include "support/ZipReader.h"

#include <unzip.h>

#include <fstream>

bool ReadZip(const std::string& path, std::vector<ZipEntry>& entries) {
  entries.clear();
  unzFile zip = unzOpen64(path.c_str());
  if (zip == nullptr) return false;
  bool ok = true;
  for (int at = unzGoToFirstFile(zip); at == UNZ_OK && ok; at = unzGoToNextFile(zip)) {
    unz_file_info64 info{};
    char name[1024] = {};
    ok = unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK;
    ZipEntry entry;
    entry.name = name;
    entry.method = static_cast<int>(info.compression_method);
    entry.flags = static_cast<unsigned>(info.flag);
    entry.dosDate = static_cast<std::uint32_t>(info.dosDate);
    if (ok && unzOpenCurrentFile(zip) == UNZ_OK) {
      char buffer[65536];
      int got = 0;
      while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) entry.content.append(buffer, static_cast<std::size_t>(got));
      ok = got == 0 && unzCloseCurrentFile(zip) == UNZ_OK;
    } else {
      ok = false;
    }
    entries.push_back(entry);
  }
  unzClose(zip);
  return ok;
}

bool ReadZipBytes(const std::string& bytes, const std::string& scratchPath, std::vector<ZipEntry>& entries) {
  {
    std::ofstream out(scratchPath, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  return ReadZip(scratchPath, entries);
}
