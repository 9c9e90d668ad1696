#pragma once
// Resources linked into the executable at build time, looked up the way the
// program looks up its embedded resources: by type name and numeric id.
#include <cstddef>

namespace platform {

inline constexpr const char* kZipResourceType = "ZIPRES";
inline constexpr int kSkinResourceId = 138;

// Finds a resource; returns false (and leaves the outputs alone) when the table
// has no such entry or the entry is empty.
bool FindEmbeddedResource(const char* type, int id, const unsigned char** data, std::size_t* size);

// Hands the embedded skin archive to the process as its resource archive.
// False when the executable carries none.
bool UseEmbeddedSkinArchive();

}  // namespace platform
