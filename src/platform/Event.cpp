#include "platform/Event.h"

#include <chrono>

namespace platform {

Event::Event(bool manualReset, bool initiallySignalled)
    : manualReset_(manualReset), signalled_(initiallySignalled) {}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  if (manualReset_) {
    changed_.notify_all();
  } else {
    changed_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool Event::Wait(std::int64_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (timeoutMs < 0) {
    changed_.wait(lock, [this] { return signalled_; });
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; })) {
    return false;
  }
  if (!manualReset_) signalled_ = false;
  return true;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return signalled_;
}

}  // namespace platform
