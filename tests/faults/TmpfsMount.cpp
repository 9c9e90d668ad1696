#include "faults/TmpfsMount.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

std::string SizeOption(std::int64_t bytes) { return "size=" + std::to_string(bytes); }

}  // namespace

std::unique_ptr<TmpfsMount> TmpfsMount::Create(const std::string& folder, std::int64_t sizeBytes,
                                               std::string& why) {
  if (geteuid() != 0) {
    why = "mounting a size-limited filesystem needs root";
    return nullptr;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (::mount("qm-faults", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, SizeOption(sizeBytes).c_str()) != 0) {
    why = std::string("this machine refuses to mount a tmpfs: ") + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<TmpfsMount>(new TmpfsMount(folder, sizeBytes));
}

TmpfsMount::~TmpfsMount() { ::umount2(folder_.c_str(), MNT_DETACH); }

bool TmpfsMount::Remount() {
  unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV;
  if (readOnly_) flags |= MS_RDONLY;
  return ::mount("qm-faults", folder_.c_str(), "tmpfs", flags, SizeOption(size_).c_str()) == 0;
}

bool TmpfsMount::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  return Remount();
}
