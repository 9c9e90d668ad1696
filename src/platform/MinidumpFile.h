#pragma once
// The dump file as it is written from a signal handler: records appended in
// order at 8-byte aligned offsets, a stream directory kept in caller-reserved
// slots, and the header written last. pwrite(2) only; no allocation.
#include <cstddef>
#include <cstdint>

#include "platform/MinidumpFormat.h"

namespace platform {

class MinidumpFile {
 public:
  static constexpr std::size_t kMaxStreams = 16;
  static constexpr std::size_t kChunkBytes = 64 << 10;  // size of every caller's copy buffer

  // directory: kMaxStreams reserved slots.
  MinidumpFile(int fd, minidump::Directory* directory);

  bool ok() const { return ok_; }

  // Each returns the record's offset (RVA).
  std::uint32_t Append(const void* data, std::size_t size);
  // For a list's count, which its records follow directly.
  std::uint32_t AppendUnaligned(const void* data, std::size_t size);
  // Bytes of this process's memory; unreadable parts are written as zeros.
  std::uint32_t AppendMemory(std::uint64_t address, std::size_t size, std::uint8_t* chunk);
  // A length-prefixed UTF-16 string (the format's string record) from UTF-8.
  std::uint32_t AppendString(const char* utf8, std::size_t length, std::uint8_t* chunk);
  // The whole content of a (/proc) file; size receives its length (0: none).
  std::uint32_t AppendFile(const char* path, std::uint8_t* chunk, std::uint32_t& size);

  void AddStream(std::uint32_t type, std::uint32_t rva, std::uint32_t size);
  // Writes the directory and the header; false when any write failed.
  bool Finish(std::uint32_t timeDateStamp);

 private:
  bool WriteAt(std::uint32_t at, const void* data, std::size_t size);
  void Align();

  int fd_;
  minidump::Directory* directory_;
  std::size_t streams_ = 0;
  std::uint32_t position_;
  bool ok_ = true;
};

}  // namespace platform
