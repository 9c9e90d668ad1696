// CSingleUserLog: the delivery thread and its exit.
#include "ExportedFunctions.h"
#include "Logger.h"
#include "SingleUserLog.h"

void CSingleUserLog::EstablishIdentity() {
  if (webLog_ == nullptr) return;
  for (int attempt = 0; attempt < 3 && !abandon_; ++attempt) {
    std::string guid;
    std::string userId;
    webLog_->GetUserInfo(guid, userId);
    if (!guid.empty() || !userId.empty()) return;
  }
}

void CSingleUserLog::UserLogManagerThread() {
  EstablishIdentity();
  while (!abandon_) {
    if (ga4Queue_.Empty() && funnelQueue_.Empty()) {
      if (exitRequested_) break;
      // Idle: sleep until the next poll, or at once when asked to end.
      std::unique_lock<std::mutex> lock(threadMutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(settings_.idlePollMs),
                     [this] { return exitRequested_.load() || abandon_.load(); });
      continue;
    }
    DeliverNext(ga4Queue_, true);
    DeliverNext(funnelQueue_, false);
  }
  std::lock_guard<std::mutex> lock(threadMutex_);
  threadDone_ = true;
  done_.notify_all();
}

void CSingleUserLog::DeliverNext(CUserLogQueue& queue, bool ga4) {
  UserLogItem item;
  if (abandon_ || !queue.TryPop(item, LockWait())) return;
  if (webLog_ == nullptr) return;  // no reporting object: the event is dropped
  if (item.body.empty() && item.funnel) {
    item.body = FunnelEventDocument(*item.funnel);
    item.funnel.reset();  // a retry sends the same text
  }
  const int rc = ga4 ? SendGa4Hit(item.category, item.action, item.label) : webLog_->SoftDataReport(item.body);
  if (rc != 0 && !abandon_) HandleFailure(queue, ga4, std::move(item), rc);
}

void CSingleUserLog::HandleFailure(CUserLogQueue& queue, bool ga4, UserLogItem item, int result) {
  int tries = item.retries;
  const std::string category = item.category;
  const std::string action = item.action;
  if (tries < 3) {
    item.retries = tries + 1;
    // Behind what was queued meanwhile; dropped when the lock is not free in time.
    if (queue.TryPush(std::move(item), LockWait())) ++tries;
  }
  if (tries != 3) return;
  if (ga4) {
    QMLOG(" send ga4 fail in ga4 queue, retry is max, retcode = " << result << ", " << category << "###"
                                                                  << action);
  } else {
    QMLOG(" send funnel fail in funnel queue, retry is max, retcode = " << result << ", " << category
                                                                        << "###" << action);
  }
}

bool CSingleUserLog::WaitThreadForExit() {
  QMLOG(" CSingleUserLog WaitThreadForExit");
  exitRequested_ = true;
  std::unique_lock<std::mutex> lock(threadMutex_);
  wake_.notify_all();
  if (!thread_.joinable()) return true;
  const bool ended = done_.wait_for(lock, std::chrono::milliseconds(settings_.exitWaitMs),
                                    [this] { return threadDone_; });
  lock.unlock();
  if (ended) thread_.join();
  return true;
}
