#include "support/EmbeddedSkin.h"

#include "platform/MemoryZip.h"
#include "platform/SkinResourceTable.h"

bool LoadEmbeddedSkin() {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  if (!platform::FindEmbeddedResource(platform::kZipResourceType, platform::kSkinResourceId, &data, &size)) {
    return false;
  }
  platform::SetResourceArchive(data, size);
  return platform::HasResourceArchive();
}
