#include "platform/SkinResourceTable.h"

#include <cstring>

#include "platform/MemoryZip.h"

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

bool UseEmbeddedSkinArchive() {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  if (!FindEmbeddedResource(kZipResourceType, kSkinResourceId, &data, &size)) return false;
  SetResourceArchive(data, size);
  return HasResourceArchive();
}

}  // namespace platform
