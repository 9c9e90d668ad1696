#include "platform/ZipArchiveWriter.h"

#include "platform/PrivateFiles.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <fstream>
#include <vector>

namespace platform {

namespace {

constexpr unsigned kUtf8NamesFlag = 1u << 11;
constexpr std::size_t kCopyChunk = 64 << 10;

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

zip_fileinfo InfoFor(const struct stat& status) {
  zip_fileinfo info{};
  tm local{};
  const time_t written = status.st_mtime;
  if (localtime_r(&written, &local) != nullptr) {
    info.tmz_date.tm_sec = static_cast<decltype(info.tmz_date.tm_sec)>(local.tm_sec);
    info.tmz_date.tm_min = static_cast<decltype(info.tmz_date.tm_min)>(local.tm_min);
    info.tmz_date.tm_hour = static_cast<decltype(info.tmz_date.tm_hour)>(local.tm_hour);
    info.tmz_date.tm_mday = static_cast<decltype(info.tmz_date.tm_mday)>(local.tm_mday);
    info.tmz_date.tm_mon = static_cast<decltype(info.tmz_date.tm_mon)>(local.tm_mon);
    info.tmz_date.tm_year = static_cast<decltype(info.tmz_date.tm_year)>(local.tm_year + 1900);
  }
  return info;
}

}  // namespace

ZipArchiveWriter::~ZipArchiveWriter() { Close(); }

bool ZipArchiveWriter::IsStoredKind(const std::string& path) {
  static const char* const kStored[] = {".z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz"};
  const std::string extension = LowerExtension(path);
  return std::any_of(std::begin(kStored), std::end(kStored), [&](const char* e) { return extension == e; });
}

bool ZipArchiveWriter::Create(const std::string& path) {
  Close();
  // The bundle holds the log and the dump: the user's own only.
  if (!PreparePrivateFile(path)) return false;
  zip_ = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  return zip_ != nullptr;
}

bool ZipArchiveWriter::AddFile(const std::string& entryName, const std::string& sourcePath) {
  if (zip_ == nullptr) return false;
  struct stat status {};
  std::ifstream in(sourcePath, std::ios::binary);
  if (!in || stat(sourcePath.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  const zip_fileinfo info = InfoFor(status);
  const bool stored = IsStoredKind(sourcePath);
  const int large = status.st_size >= 0xffffffffLL ? 1 : 0;
  if (zipOpenNewFileInZip4_64(zip_, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              stored ? 0 : Z_DEFLATED, stored ? 0 : kDeflateLevel, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                              Z_DEFAULT_STRATEGY, nullptr, 0, 0, kUtf8NamesFlag, large) != ZIP_OK) {
    return false;
  }
  std::vector<char> chunk(kCopyChunk);
  bool ok = true;
  while (ok && in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<unsigned>(in.gcount());
    if (got > 0) ok = zipWriteInFileInZip(zip_, chunk.data(), got) == ZIP_OK;
  }
  return zipCloseFileInZip(zip_) == ZIP_OK && ok;
}

bool ZipArchiveWriter::Close() {
  if (zip_ == nullptr) return true;
  const bool ok = zipClose(zip_, nullptr) == ZIP_OK;
  zip_ = nullptr;
  return ok;
}

}  // namespace platform
