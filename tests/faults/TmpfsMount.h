#pragma once
// A size-limited tmpfs mounted on a test's folder, so that a test can fill the
// disk under a download or turn the folder read-only.
// Needs the right to mount (root); Create says why when it cannot. The mount
// is lazily detached when the object goes, even after a failed assertion.
#include <cstdint>
#include <memory>
#include <string>

class TmpfsMount {
 public:
  // Mounts a tmpfs of sizeBytes on folder (created when missing); null with
  // why set when this machine does not allow it.
  static std::unique_ptr<TmpfsMount> Create(const std::string& folder, std::int64_t sizeBytes, std::string& why);
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  // Remounts read-only or read-write again; fails while a file is open for
  // writing on it.
  bool SetReadOnly(bool readOnly);

 private:
  explicit TmpfsMount(std::string folder, std::int64_t sizeBytes)
      : folder_(std::move(folder)), size_(sizeBytes) {}
  bool Remount();

  std::string folder_;
  std::int64_t size_;
  bool readOnly_ = false;
};
