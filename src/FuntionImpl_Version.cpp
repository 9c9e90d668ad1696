// Version record of an executable: the ".qm_version" section that our own
// builds carry (see platform/VersionStamp.cpp), found through the ELF64
// section headers.
#include "FuntionImpl.h"

#include <elf.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kSectionName = ".qm_version";
constexpr std::uint64_t kMaxStampSize = 64 * 1024;
constexpr std::uint64_t kMaxNamesSize = 1024 * 1024;
constexpr std::uint64_t kMaxSections = 65536;

// Reads size bytes at offset, only when they lie inside the file.
bool ReadAt(std::ifstream& in, std::uint64_t fileSize, std::uint64_t offset, void* out, std::uint64_t size) {
  if (offset > fileSize || size > fileSize - offset) return false;
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<bool>(in);
}

bool ReadHeader(std::ifstream& in, std::uint64_t fileSize, Elf64_Ehdr& header) {
  if (!ReadAt(in, fileSize, 0, &header, sizeof header)) return false;
  return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64 &&
         header.e_ident[EI_DATA] == ELFDATA2LSB && header.e_shoff != 0 &&
         header.e_shentsize == sizeof(Elf64_Shdr);
}

// Section headers, with the extended numbering of very large files resolved.
bool ReadSections(std::ifstream& in, std::uint64_t fileSize, const Elf64_Ehdr& header,
                  std::vector<Elf64_Shdr>& sections, std::uint64_t& namesIndex) {
  Elf64_Shdr first{};
  if (!ReadAt(in, fileSize, header.e_shoff, &first, sizeof first)) return false;
  const std::uint64_t count = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
  namesIndex = header.e_shstrndx != SHN_XINDEX ? header.e_shstrndx : first.sh_link;
  if (count == 0 || count > kMaxSections || namesIndex >= count) return false;
  sections.resize(count);
  return ReadAt(in, fileSize, header.e_shoff, sections.data(), count * sizeof(Elf64_Shdr));
}

bool ReadSectionData(std::ifstream& in, std::uint64_t fileSize, const Elf64_Shdr& section,
                     std::uint64_t limit, std::string& data) {
  if (section.sh_type == SHT_NOBITS || section.sh_size > limit) return false;
  data.assign(section.sh_size, '\0');
  return ReadAt(in, fileSize, section.sh_offset, data.data(), section.sh_size);
}

// The text of the version section; empty for a file without one.
std::string ReadStampSection(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  const auto end = in.tellg();
  if (end <= 0) return {};
  const auto fileSize = static_cast<std::uint64_t>(end);
  Elf64_Ehdr header{};
  std::vector<Elf64_Shdr> sections;
  std::uint64_t namesIndex = 0;
  std::string names;
  if (!ReadHeader(in, fileSize, header) || !ReadSections(in, fileSize, header, sections, namesIndex) ||
      !ReadSectionData(in, fileSize, sections[namesIndex], kMaxNamesSize, names)) {
    return {};
  }
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_name >= names.size() || std::strcmp(names.c_str() + section.sh_name, kSectionName) != 0) continue;
    std::string data;
    if (!ReadSectionData(in, fileSize, section, kMaxStampSize, data)) return {};
    return data.substr(0, data.find('\0'));
  }
  return {};
}

std::map<std::string, std::string> ParseStamp(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

}  // namespace

VersionStrings GetVersionStrings(const std::string& path) {
  auto values = ParseStamp(ReadStampSection(path));
  return {values["ProductName"], values["ProductVersion"], values["LegalCopyright"], values["FileDescription"]};
}

std::string GetFileVersionString(const std::string& path) {
  const std::string version = ParseStamp(ReadStampSection(path))["FileVersion"];
  int parts[4] = {0, 0, 0, 0};
  if (std::sscanf(version.c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]) < 1) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
  return text;
}
