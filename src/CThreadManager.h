#pragma once
// Keeps the idle and busy workers of one download run and hands a task to an
// idle one. Its lists are touched only by the dispatch thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "CThread.h"
#include "platform/Event.h"

class CTask;

class CThreadManager {
 public:
  CThreadManager();
  virtual ~CThreadManager();
  CThreadManager(const CThreadManager&) = delete;
  CThreadManager& operator=(const CThreadManager&) = delete;

  // Creates count plain workers; returns the number of threads running.
  virtual int createThreads(int count);

  // The last idle worker, taken off the idle list; null when none.
  CThread* getOneFreeThreads();
  // 1 when an idle worker took the task (it joins the busy list), else 0.
  int giveTaskToAThreadTodo(CTask* task);
  // 1 when an idle worker took the claimed part of task (it joins the busy
  // list), else 0.
  int giveHelpToAThreadTodo(CTask* task, int part);
  // 1 when an idle worker took the run of slices (it joins the busy list),
  // else 0.
  int giveRunToAThreadTodo(std::shared_ptr<SliceRun> run);
  // Busy workers that went idle return to the idle list. Always 1.
  int recycleIdleThreads();
  // Ends every idle worker and waits for each thread (bounded). Always 1.
  int stopThreads();
  // Joins and frees every worker; lists emptied.
  void releaseThreads();

  bool hasIdleThreads() const { return !m_idle.empty(); }
  std::size_t idleCount() const { return m_idle.size(); }
  bool hasBusyThreads() const { return !m_busy.empty(); }
  std::size_t threadCount() const { return m_threads.size(); }
  // The lock every worker takes around its task's write bookkeeping.
  std::timed_mutex* writeMutex() const { return m_mutex; }

  // Signalled whenever a worker finishes a step; the dispatcher sleeps on it.
  void setStepDoneEvent(platform::Event* event) { m_stepDone = event; }
  void setWorkerWaitMs(std::int64_t ms) { m_workerWaitMs = ms; }

 protected:
  // Starts worker and, when it runs, files it as idle. True on success.
  bool adoptWorker(std::unique_ptr<CThread> worker);

  std::timed_mutex* m_mutex = nullptr;  // shared with every worker
  std::int64_t m_workerWaitMs = 30000;

 private:
  std::vector<std::unique_ptr<CThread>> m_threads;  // every worker, in creation order
  std::vector<CThread*> m_idle;
  std::vector<CThread*> m_busy;
  platform::Event* m_stepDone = nullptr;
};
