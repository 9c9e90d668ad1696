#include "platform/ProcMaps.h"

namespace platform {

namespace {

bool ReadHex(const char*& at, const char* end, std::uint64_t& value) {
  const char* begin = at;
  value = 0;
  while (at < end) {
    const char c = *at;
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    ++at;
  }
  return at > begin;
}

bool ReadDecimal(const char*& at, const char* end, std::uint64_t& value) {
  const char* begin = at;
  value = 0;
  while (at < end && *at >= '0' && *at <= '9') value = value * 10 + static_cast<std::uint64_t>(*at++ - '0');
  return at > begin;
}

bool Expect(const char*& at, const char* end, char c) {
  if (at >= end || *at != c) return false;
  ++at;
  return true;
}

void SkipBlanks(const char*& at, const char* end) {
  while (at < end && (*at == ' ' || *at == '\t')) ++at;
}

bool SamePath(const MapsEntry& a, const MapsEntry& b) {
  if (a.inode != b.inode || a.pathLength != b.pathLength) return false;
  for (std::size_t i = 0; i < a.pathLength; ++i) {
    if (a.path[i] != b.path[i]) return false;
  }
  return true;
}

bool IsModuleFile(const MapsEntry& entry) {
  if (entry.pathLength == 0 || entry.path[0] != '/' || entry.inode == 0) return false;
  const char dev[] = "/dev/";
  if (entry.pathLength >= 5) {
    bool isDev = true;
    for (int i = 0; i < 5; ++i) isDev = isDev && entry.path[i] == dev[i];
    if (isDev) return false;
  }
  return true;
}

}  // namespace

bool ParseMapsLine(const char* line, std::size_t length, MapsEntry& out) {
  const char* at = line;
  const char* end = line + length;
  MapsEntry entry;
  std::uint64_t ignored = 0;
  if (!ReadHex(at, end, entry.start) || !Expect(at, end, '-') || !ReadHex(at, end, entry.end)) return false;
  if (!Expect(at, end, ' ') || end - at < 4) return false;
  entry.readable = at[0] == 'r';
  entry.writable = at[1] == 'w';
  entry.executable = at[2] == 'x';
  at += 4;
  if (!Expect(at, end, ' ') || !ReadHex(at, end, entry.offset) || !Expect(at, end, ' ')) return false;
  if (!ReadHex(at, end, ignored) || !Expect(at, end, ':') || !ReadHex(at, end, ignored)) return false;
  if (!Expect(at, end, ' ') || !ReadDecimal(at, end, entry.inode)) return false;
  SkipBlanks(at, end);
  entry.path = at;
  entry.pathLength = static_cast<std::size_t>(end - at);
  while (entry.pathLength > 0 && (at[entry.pathLength - 1] == '\n' || at[entry.pathLength - 1] == '\r')) {
    --entry.pathLength;
  }
  if (entry.end < entry.start) return false;
  out = entry;
  return true;
}

std::size_t ParseMaps(const char* text, std::size_t length, MapsEntry* entries, std::size_t capacity) {
  std::size_t count = 0;
  std::size_t lineStart = 0;
  while (lineStart < length && count < capacity) {
    std::size_t lineEnd = lineStart;
    while (lineEnd < length && text[lineEnd] != '\n') ++lineEnd;
    if (ParseMapsLine(text + lineStart, lineEnd - lineStart, entries[count])) ++count;
    lineStart = lineEnd + 1;
  }
  return count;
}

std::size_t CollectModules(const MapsEntry* entries, std::size_t count, ModuleRange* modules,
                           std::size_t capacity) {
  std::size_t found = 0;
  for (std::size_t i = 0; i < count && found < capacity; ++i) {
    if (entries[i].offset != 0 || !IsModuleFile(entries[i])) continue;
    ModuleRange module;
    module.firstEntry = i;
    module.base = entries[i].start;
    module.end = entries[i].end;
    // Later segments of the same file, possibly with anonymous (bss) or
    // reserved gaps in between; a new mapping at offset 0 starts a new module.
    for (std::size_t j = i + 1; j < count; ++j) {
      if (SamePath(entries[j], entries[i])) {
        if (entries[j].offset == 0) break;
        module.end = entries[j].end;
      } else if (entries[j].pathLength != 0) {
        break;
      }
    }
    modules[found++] = module;
  }
  return found;
}

long FindMapping(const MapsEntry* entries, std::size_t count, std::uint64_t address) {
  for (std::size_t i = 0; i < count; ++i) {
    if (address >= entries[i].start && address < entries[i].end) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace platform
