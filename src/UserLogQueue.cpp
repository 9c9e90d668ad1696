#include "UserLogQueue.h"

CUserLogQueue::CUserLogQueue(std::string lockName) : lockName_(std::move(lockName)) {}

bool CUserLogQueue::Acquire(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(gate_);
  if (!freed_.wait_for(lock, wait, [this] { return !held_; })) return false;
  held_ = true;
  return true;
}

void CUserLogQueue::Release() {
  {
    std::lock_guard<std::mutex> lock(gate_);
    held_ = false;
  }
  freed_.notify_one();
}

bool CUserLogQueue::TryPush(UserLogItem item, std::chrono::milliseconds wait) {
  if (!Acquire(wait)) return false;
  items_.push_back(std::move(item));
  size_.store(items_.size(), std::memory_order_release);
  Release();
  return true;
}

bool CUserLogQueue::TryPop(UserLogItem& item, std::chrono::milliseconds wait) {
  if (!Acquire(wait)) return false;
  const bool found = !items_.empty();
  if (found) {
    item = std::move(items_.front());
    items_.pop_front();
    size_.store(items_.size(), std::memory_order_release);
  }
  Release();
  return found;
}
