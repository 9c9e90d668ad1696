#pragma once
// Replaces a file so that readers (and a crash at any moment) see either the
// old content or the new one, never a mixture: write a temporary file in the
// same folder, flush it to disk, rename it over the target.
#include <cstdint>
#include <string>

namespace platform {

// False when any step fails; the target is then left as it was. Uses the
// blocks ReserveReplacement set aside for path, when there are any.
bool ReplaceFileContent(const std::string& path, const std::string& content);

// Sets aside `bytes` of disk for the next ReplaceFileContent of path (in its
// temporary file, whose size stays 0), so that saving a small file still
// works on a disk that something else has filled meanwhile. Best effort.
void ReserveReplacement(const std::string& path, std::int64_t bytes);
// Gives back what ReserveReplacement set aside for path.
void DropReplacementReserve(const std::string& path);

// Flushes the data already written to the file at path (by any descriptor) to
// the disk. False only when the disk reports a write error; a missing file,
// or a filesystem that cannot sync, has nothing to flush.
bool FlushFileData(const std::string& path);

// Asks the kernel to start writing [offset, offset + length) of fd to disk
// without waiting, so a later flush finds little left to do. Best effort.
void StartWriteback(int fd, std::int64_t offset, std::int64_t length);

}  // namespace platform
