#pragma once
// A lock named across processes of one user: a lock file in the user's
// private runtime folder, opened without following links and held with flock.
// The kernel drops it when the holder ends, however it ends.
#include <string>

namespace platform {

// Outcome of each call of a release: 1 or 0, and the errno of a failure.
struct LockReleaseResult {
  int unlocked = 0;
  int unlockError = 0;
  int closed = 0;
  int closeError = 0;
};

class InstanceLock {
 public:
  InstanceLock() = default;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock();

  // Opens and tries to take the lock. alreadyExisted is set when another
  // holder has it. Returns false when the lock file cannot be opened at all.
  bool Create(const std::string& name, bool& alreadyExisted);
  bool Held() const { return held_; }
  void Release();
  // Release for a crash handler: async-signal-safe, reports each call.
  void ReleaseFromSignalHandler(LockReleaseResult& result);

  // The lock file's path; empty when the user has no private runtime folder.
  static std::string PathFor(const std::string& name);

 private:
  // A plain descriptor, not an owner: the crash handler releases it with
  // bare system calls.
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace platform
