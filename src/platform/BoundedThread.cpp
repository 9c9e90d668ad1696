#include "platform/BoundedThread.h"
#include "platform/ThreadStart.h"

#include <memory>

namespace platform {

BoundedThread::BoundedThread(std::function<void()> body) {
  auto ended = std::make_shared<std::promise<void>>();
  ended_ = ended->get_future();
  thread_ = StartThread([body = std::move(body), ended] {
    body();
    ended->set_value();
  });
}

BoundedThread::~BoundedThread() {
  if (thread_.joinable()) thread_.join();
}

bool BoundedThread::JoinWithin(std::chrono::milliseconds limit) {
  if (!thread_.joinable()) return true;
  if (ended_.wait_for(limit) != std::future_status::ready) {
    thread_.detach();
    return false;
  }
  thread_.join();
  return true;
}

}  // namespace platform
