#pragma once
// One FIFO of pending telemetry events behind its own timed lock (named for
// the logs, process-local). Every acquisition waits at most the given time; a
// caller that does not get the lock in time gives up (the event is dropped,
// or the queue skipped).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

struct FunnelEvent;

struct UserLogItem {
  std::string category;
  std::string action;
  std::string label;
  std::string body;  // funnel document; empty for GA4 items and until built from funnel
  int retries = 0;   // failed queued deliveries so far
  // A queued funnel event's values, taken at the call; its body is built
  // from them off the caller's thread.
  std::shared_ptr<const FunnelEvent> funnel;
};

class CUserLogQueue {
 public:
  explicit CUserLogQueue(std::string lockName);
  const std::string& LockName() const { return lockName_; }

  // False when the lock was not obtained within wait (item not queued).
  bool TryPush(UserLogItem item, std::chrono::milliseconds wait);
  // False when the lock was not obtained or the queue is empty.
  bool TryPop(UserLogItem& item, std::chrono::milliseconds wait);
  // Read without the lock: a hint for the idle test.
  bool Empty() const { return size_.load(std::memory_order_acquire) == 0; }

 private:
  // The timed lock, over a mutex and a condition variable: waits are bounded
  // and cost no CPU.
  bool Acquire(std::chrono::milliseconds wait);
  void Release();

  const std::string lockName_;
  std::mutex gate_;
  std::condition_variable freed_;
  bool held_ = false;
  std::deque<UserLogItem> items_;
  std::atomic<std::size_t> size_{0};
};
