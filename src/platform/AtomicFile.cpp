#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/UniqueFd.h"

namespace platform {

namespace {

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/"
                                                                           : path.substr(0, slash);
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

bool ReplaceFileContent(const std::string& path, const std::string& content) {
  const std::string temp = path + ".tmp";
  // Not truncated at open: that would give back blocks a reservation holds.
  // The cut after the write drops what an older temporary file left.
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) return false;
  const bool written = WriteAll(fd.get(), content) &&
                       ::ftruncate(fd.get(), static_cast<off_t>(content.size())) == 0 && ::fsync(fd.get()) == 0;
  // A failed close can mean the content never reached the disk.
  const bool closed = fd.Close();
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  SyncFolderOf(path);
  return true;
}

void ReserveReplacement(const std::string& path, std::int64_t bytes) {
  const std::string temp = path + ".tmp";
  const UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (fd.valid() && bytes > 0) ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
}

void DropReplacementReserve(const std::string& path) { std::remove((path + ".tmp").c_str()); }

bool FlushFileData(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return true;
  return ::fdatasync(fd.get()) == 0 || errno == EINVAL || errno == EROFS;
}

void StartWriteback(int fd, std::int64_t offset, std::int64_t length) {
  if (fd < 0 || offset < 0 || length <= 0) return;
  ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

}  // namespace platform
