#include "platform/SkinResourceTable.h"

#include <cstring>

extern "C" const unsigned char qm_skin_zip_begin[];
extern "C" const unsigned char qm_skin_zip_end[];

namespace platform {
namespace {

struct ResourceEntry {
  const char* type;
  int id;
  const unsigned char* begin;
  const unsigned char* end;
};

const ResourceEntry kResources[] = {
    {kZipResourceType, kSkinResourceId, qm_skin_zip_begin, qm_skin_zip_end},
};

}  // namespace

bool FindEmbeddedResource(const char* type, int id, const unsigned char** data, std::size_t* size) {
  for (const ResourceEntry& entry : kResources) {
    if (std::strcmp(entry.type, type) != 0 || entry.id != id) continue;
    const auto length = static_cast<std::size_t>(entry.end - entry.begin);
    if (length == 0) return false;
    *data = entry.begin;
    *size = length;
    return true;
  }
  return false;
}

}  // namespace platform
