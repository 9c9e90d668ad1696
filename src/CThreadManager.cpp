#include "CThreadManager.h"

#include <algorithm>

#include "CTask.h"
#include "SliceRun.h"
#include "Logger.h"

namespace {

// A worker without a task step of its own.
class CPlainThread : public CThread {
 public:
  using CThread::CThread;
  ~CPlainThread() override { stopAndJoin(); }
  int taskBusiness() override { return 1; }
};

}  // namespace

CThreadManager::CThreadManager() = default;

CThreadManager::~CThreadManager() { releaseThreads(); }

bool CThreadManager::adoptWorker(std::unique_ptr<CThread> worker) {
  worker->setStepDoneEvent(m_stepDone);
  if (worker->init() == 0) return false;
  m_idle.push_back(worker.get());
  m_threads.push_back(std::move(worker));
  return true;
}

int CThreadManager::createThreads(int count) {
  for (int i = 0; i < count; ++i) adoptWorker(std::make_unique<CPlainThread>(m_mutex));
  return static_cast<int>(m_threads.size());
}

CThread* CThreadManager::getOneFreeThreads() {
  if (m_idle.empty()) {
    QMLOG("is no free threads");
    return nullptr;
  }
  CThread* worker = m_idle.back();
  m_idle.pop_back();
  return worker;
}

int CThreadManager::giveTaskToAThreadTodo(CTask* task) {
  CThread* worker = getOneFreeThreads();
  if (worker == nullptr) {
    QMLOG("get free thread is null" << (task != nullptr ? task->TaskId.load() : 0));
    return 0;
  }
  worker->doTask(task);
  m_busy.push_back(worker);
  return 1;
}

int CThreadManager::giveHelpToAThreadTodo(CTask* task, int part) {
  CThread* worker = getOneFreeThreads();
  if (worker == nullptr) return 0;
  worker->doHelp(task, part);
  m_busy.push_back(worker);
  return 1;
}

int CThreadManager::giveRunToAThreadTodo(std::shared_ptr<SliceRun> run) {
  CThread* worker = getOneFreeThreads();
  if (worker == nullptr) return 0;
  worker->doRun(std::move(run));
  m_busy.push_back(worker);
  return 1;
}

int CThreadManager::recycleIdleThreads() {
  auto idle = std::stable_partition(m_busy.begin(), m_busy.end(),
                                    [](const CThread* w) { return w->state() != CThread::kIdle; });
  m_idle.insert(m_idle.end(), idle, m_busy.end());
  m_busy.erase(idle, m_busy.end());
  return 1;
}

int CThreadManager::stopThreads() {
  for (CThread* worker : m_idle) worker->requestStop();
  QMLOG(" start wait threads exit");
  for (auto& worker : m_threads) {
    if (!worker->waitEnded(m_workerWaitMs)) QMLOG(" thread still running after wait");
  }
  QMLOG(" end wait threads exit");
  return 1;
}

void CThreadManager::releaseThreads() {
  for (auto& worker : m_threads) {
    worker->requestStop();
    // A worker still in a transfer uses the task and file about to be freed:
    // it must end first. Its transfer is bounded by the range time-out.
    worker->join();
  }
  m_idle.clear();
  m_busy.clear();
  m_threads.clear();
}
