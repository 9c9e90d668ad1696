#include "platform/MemoryZip.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace platform {
namespace {

// Deflate never packs more than 1032 bytes into one.
constexpr ZPOS64_T kBestDeflateRatio = 1032;

struct Cursor {
  const unsigned char* data;
  ZPOS64_T size;
  ZPOS64_T pos;
};

voidpf OpenMem(voidpf opaque, const void* /*name*/, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_WRITE) != 0) return nullptr;
  auto* src = static_cast<const std::pair<const unsigned char*, std::size_t>*>(opaque);
  return new Cursor{src->first, src->second, 0};
}

uLong ReadMem(voidpf, voidpf stream, void* buf, uLong size) {
  auto* c = static_cast<Cursor*>(stream);
  const ZPOS64_T left = c->size - c->pos;
  const uLong n = static_cast<uLong>(std::min<ZPOS64_T>(left, size));
  std::memcpy(buf, c->data + c->pos, n);
  c->pos += n;
  return n;
}

uLong WriteMem(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T TellMem(voidpf, voidpf stream) { return static_cast<Cursor*>(stream)->pos; }

long SeekMem(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* c = static_cast<Cursor*>(stream);
  ZPOS64_T base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = c->pos;
  else if (origin == ZLIB_FILEFUNC_SEEK_END) base = c->size;
  if (base + offset > c->size) return -1;
  c->pos = base + offset;
  return 0;
}

int CloseMem(voidpf, voidpf stream) {
  delete static_cast<Cursor*>(stream);
  return 0;
}

int ErrorMem(voidpf, voidpf) { return 0; }

std::string NormaliseName(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  while (!name.empty() && name.front() == '/') name.erase(0, 1);
  return name;
}

}  // namespace

MemoryZip::~MemoryZip() { Close(); }

void MemoryZip::Close() {
  if (handle_ != nullptr) unzClose(static_cast<unzFile>(handle_));
  handle_ = nullptr;
}

bool MemoryZip::Open(const unsigned char* data, std::size_t size) {
  Close();
  if (data == nullptr || size == 0) return false;
  source_ = {data, size};
  zlib_filefunc64_def funcs{};
  funcs.zopen64_file = OpenMem;
  funcs.zread_file = ReadMem;
  funcs.zwrite_file = WriteMem;
  funcs.ztell64_file = TellMem;
  funcs.zseek64_file = SeekMem;
  funcs.zclose_file = CloseMem;
  funcs.zerror_file = ErrorMem;
  funcs.opaque = &source_;
  handle_ = unzOpen2_64("skin", &funcs);
  return handle_ != nullptr;
}

bool MemoryZip::ReadFile(const std::string& name, std::string& out) const {
  if (handle_ == nullptr) return false;
  auto* zip = static_cast<unzFile>(handle_);
  if (unzLocateFile(zip, NormaliseName(name).c_str(), 1) != UNZ_OK) return false;
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  // The sizes are the archive's own claims: a member larger than the archive
  // could hold, even at deflate's best ratio, is damaged, and is refused
  // before its claimed size is allocated.
  if (info.compressed_size > source_.second || info.uncompressed_size > info.compressed_size * kBestDeflateRatio + 64)
    return false;
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  std::string data(static_cast<std::size_t>(info.uncompressed_size), '\0');
  const int got = data.empty() ? 0 : unzReadCurrentFile(zip, data.data(), static_cast<unsigned>(data.size()));
  // unzCloseCurrentFile reports a CRC mismatch of a damaged member.
  const bool crcOk = unzCloseCurrentFile(zip) == UNZ_OK;
  if (got < 0 || static_cast<std::size_t>(got) != data.size() || !crcOk) return false;
  out.swap(data);
  return true;
}

bool MemoryZip::Contains(const std::string& name) const {
  return handle_ != nullptr && unzLocateFile(static_cast<unzFile>(handle_), NormaliseName(name).c_str(), 1) == UNZ_OK;
}

std::vector<std::string> MemoryZip::FileNames() const {
  std::vector<std::string> names;
  if (handle_ == nullptr) return names;
  auto* zip = static_cast<unzFile>(handle_);
  for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
    char name[1024];
    if (unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK)
      names.emplace_back(name);
  }
  return names;
}

namespace {
std::mutex g_archiveMutex;
std::unique_ptr<MemoryZip> g_archive;
}  // namespace

void SetResourceArchive(const unsigned char* data, std::size_t size) {
  auto zip = std::make_unique<MemoryZip>();
  if (!zip->Open(data, size)) zip.reset();
  std::lock_guard<std::mutex> lock(g_archiveMutex);
  g_archive = std::move(zip);
}

bool ReadResourceFile(const std::string& name, std::string& out) {
  // minizip keeps a cursor per handle, so reads take turns.
  std::lock_guard<std::mutex> lock(g_archiveMutex);
  return g_archive != nullptr && g_archive->ReadFile(name, out);
}

bool HasResourceFile(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_archiveMutex);
  return g_archive != nullptr && g_archive->Contains(name);
}

bool HasResourceArchive() {
  std::lock_guard<std::mutex> lock(g_archiveMutex);
  return g_archive != nullptr;
}

}  // namespace platform
