#pragma once
// Manual- and auto-reset events over a mutex and a condition variable, for
// threads that must sleep until something happens instead of polling.
#include <cstdint>
#include <condition_variable>
#include <mutex>

namespace platform {

class Event {
 public:
  // A manual-reset event stays signalled until Reset; an auto-reset event
  // releases one waiter and clears itself.
  explicit Event(bool manualReset = false, bool initiallySignalled = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits at most timeoutMs (negative: without limit). True when signalled.
  bool Wait(std::int64_t timeoutMs = -1);
  bool IsSet() const;

 private:
  const bool manualReset_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
};

}  // namespace platform
