#pragma once
// Read-only zip archive over bytes in memory (minizip over zlib). The skin
// archive linked into the executable is read through it: layouts, the product
// configuration, language files and images.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class MemoryZip {
 public:
  MemoryZip() = default;
  MemoryZip(const MemoryZip&) = delete;
  MemoryZip& operator=(const MemoryZip&) = delete;
  ~MemoryZip();

  // Opens the archive held at data (not copied: it must outlive this object).
  // Returns false for bytes that are not a zip archive.
  bool Open(const unsigned char* data, std::size_t size);
  bool IsOpen() const { return handle_ != nullptr; }

  // Reads one member by its name inside the archive ("configure/configure.xml").
  // A leading "/" and "\" separators are accepted. False when absent or damaged.
  bool ReadFile(const std::string& name, std::string& out) const;

  // Whether the archive holds a member of that name, without reading it.
  bool Contains(const std::string& name) const;

  std::vector<std::string> FileNames() const;

 private:
  void Close();

  // Handed to minizip as the opaque argument of its I/O callbacks.
  std::pair<const unsigned char*, std::size_t> source_{nullptr, 0};
  void* handle_ = nullptr;
};

// The process's resource archive: the embedded skin, handed over once at
// start-up. Reads from several threads are serialised inside.
void SetResourceArchive(const unsigned char* data, std::size_t size);
bool ReadResourceFile(const std::string& name, std::string& out);
bool HasResourceFile(const std::string& name);
bool HasResourceArchive();

}  // namespace platform
