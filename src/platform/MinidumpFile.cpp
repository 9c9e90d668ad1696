#include "platform/MinidumpFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ElfBuildId.h"

namespace platform {

MinidumpFile::MinidumpFile(int fd, minidump::Directory* directory)
    : fd_(fd),
      directory_(directory),
      position_(static_cast<std::uint32_t>(sizeof(minidump::Header) + kMaxStreams * sizeof(minidump::Directory))) {}

bool MinidumpFile::WriteAt(std::uint32_t at, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = pwrite(fd_, bytes, size, at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return ok_ = false;
    bytes += written;
    at += static_cast<std::uint32_t>(written);
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

void MinidumpFile::Align() {
  static const std::uint8_t zeros[8] = {};
  const std::uint32_t pad = (8 - position_ % 8) % 8;
  if (pad > 0) WriteAt(position_, zeros, pad);
  position_ += pad;
}

std::uint32_t MinidumpFile::Append(const void* data, std::size_t size) {
  const std::uint32_t rva = AppendUnaligned(data, size);
  Align();
  return rva;
}

std::uint32_t MinidumpFile::AppendUnaligned(const void* data, std::size_t size) {
  const std::uint32_t rva = position_;
  WriteAt(position_, data, size);
  position_ += static_cast<std::uint32_t>(size);
  return rva;
}

std::uint32_t MinidumpFile::AppendMemory(std::uint64_t address, std::size_t size, std::uint8_t* chunk) {
  const std::uint32_t rva = position_;
  while (size > 0) {
    const std::size_t part = size < kChunkBytes ? size : kChunkBytes;
    if (!ReadOwnMemory(address, chunk, part, nullptr)) std::memset(chunk, 0, part);
    WriteAt(position_, chunk, part);
    position_ += static_cast<std::uint32_t>(part);
    address += part;
    size -= part;
  }
  Align();
  return rva;
}

std::uint32_t MinidumpFile::AppendString(const char* utf8, std::size_t length, std::uint8_t* chunk) {
  std::size_t units = 0;
  auto* out = reinterpret_cast<std::uint16_t*>(chunk + 4);
  const std::size_t maxUnits = (kChunkBytes - 8) / 2 - 2;
  for (std::size_t i = 0; i < length && units < maxUnits;) {
    std::uint32_t code = static_cast<std::uint8_t>(utf8[i]);
    int extra = code >= 0xf0 ? 3 : code >= 0xe0 ? 2
                               : code >= 0xc0   ? 1
                                                : 0;
    if (extra > 0) code &= (0x3fu >> extra);
    ++i;
    while (extra-- > 0 && i < length) code = (code << 6) | (static_cast<std::uint8_t>(utf8[i++]) & 0x3f);
    if (code >= 0x10000) {
      code -= 0x10000;
      out[units++] = static_cast<std::uint16_t>(0xd800 + (code >> 10));
      out[units++] = static_cast<std::uint16_t>(0xdc00 + (code & 0x3ff));
    } else {
      out[units++] = static_cast<std::uint16_t>(code);
    }
  }
  out[units] = 0;
  const auto bytes = static_cast<std::uint32_t>(units * 2);
  std::memcpy(chunk, &bytes, 4);
  return Append(chunk, 4 + bytes + 2);
}

std::uint32_t MinidumpFile::AppendFile(const char* path, std::uint8_t* chunk, std::uint32_t& size) {
  size = 0;
  const int in = open(path, O_RDONLY | O_CLOEXEC);
  if (in < 0) return 0;
  const std::uint32_t rva = position_;
  for (;;) {
    const ssize_t got = read(in, chunk, kChunkBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    WriteAt(position_, chunk, static_cast<std::size_t>(got));
    position_ += static_cast<std::uint32_t>(got);
    size += static_cast<std::uint32_t>(got);
  }
  close(in);
  Align();
  return rva;
}

void MinidumpFile::AddStream(std::uint32_t type, std::uint32_t rva, std::uint32_t size) {
  if (streams_ < kMaxStreams) directory_[streams_++] = {type, {size, rva}};
}

bool MinidumpFile::Finish(std::uint32_t timeDateStamp) {
  minidump::Header header{};
  header.signature = minidump::kSignature;
  header.version = minidump::kVersion;
  header.numberOfStreams = static_cast<std::uint32_t>(streams_);
  header.streamDirectoryRva = sizeof header;
  header.timeDateStamp = timeDateStamp;
  WriteAt(sizeof header, directory_, streams_ * sizeof(minidump::Directory));
  WriteAt(0, &header, sizeof header);
  return ok_;
}

}  // namespace platform
