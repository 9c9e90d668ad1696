#include "FuzzSupport.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Logger.h"
#include "SingleUserLog.h"

namespace fuzz {
namespace {

void Put16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}

// The fields that the local and the central header share, from "version
// needed" to the extra-field length.
void PutCommonFields(std::string& out, std::uint32_t crc, std::size_t size, std::size_t nameLength) {
  Put16(out, 20);    // version needed
  Put16(out, 0);     // flags
  Put16(out, 0);     // stored
  Put16(out, 0);     // time
  Put16(out, 0x21);  // date 1980-01-01
  Put32(out, crc);
  Put32(out, static_cast<std::uint32_t>(size));
  Put32(out, static_cast<std::uint32_t>(size));
  Put16(out, static_cast<unsigned>(nameLength));
  Put16(out, 0);  // extra length
}

}  // namespace

void QuietProcess() {
  qmlog::ConfigureDefaultLogger("/dev/null", false);
  UserLogSettings settings;
  settings.withWebLog = false;
  settings.disabled = true;
  CSingleUserLog::SetInstanceSettings(settings);
}

namespace {

// Removed with its files when the process ends normally.
struct Scratch {
  Scratch() {
    std::string pattern = "/tmp/qm-fuzz-XXXXXX";
    if (const char* root = std::getenv("QM_FUZZ_SCRATCH")) pattern = std::string(root) + "/qm-fuzz-XXXXXX";
    if (const char* made = mkdtemp(pattern.data())) path = made;
  }
  ~Scratch() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

}  // namespace

const std::string& ScratchDir() {
  static const Scratch scratch;
  return scratch.path;
}

bool WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string body;
  std::string directory;
  for (const auto& [name, bytes] : members) {
    const auto crc = static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    const auto offset = static_cast<std::uint32_t>(body.size());
    Put32(body, 0x04034b50);
    PutCommonFields(body, crc, bytes.size(), name.size());
    body += name;
    body += bytes;
    Put32(directory, 0x02014b50);
    Put16(directory, 20);  // version made by
    PutCommonFields(directory, crc, bytes.size(), name.size());
    Put16(directory, 0);  // comment length
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, offset);
    directory += name;
  }
  std::string zip = body + directory;
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<unsigned>(members.size()));
  Put16(zip, static_cast<unsigned>(members.size()));
  Put32(zip, static_cast<std::uint32_t>(directory.size()));
  Put32(zip, static_cast<std::uint32_t>(body.size()));
  Put16(zip, 0);
  return zip;
}

}  // namespace fuzz
