#pragma once
// A long-lived worker: sleeps on its own wake event until it is given a task,
// runs one task step, goes idle again. Its state is atomic because the
// dispatch thread reads it while the worker changes it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Event.h"

class CTask;
struct SliceRun;

class CThread {
 public:
  static constexpr int kStop = 0;
  static constexpr int kWork = 1;
  static constexpr int kIdle = 2;

  explicit CThread(std::timed_mutex* mutex);
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // One task step on the current task.
  virtual int taskBusiness() = 0;

  // Starts the thread; 1 when it runs, else 0 (logged).
  int init();
  // Hands the task over and wakes the worker. Always 1.
  int doTask(CTask* task);
  // Hands over one part of a slice that another worker is fetching (a help
  // claimed by the dispatcher) and wakes the worker. Always 1.
  int doHelp(CTask* task, int part);
  // Hands over a run of consecutive slices, fetched as one stream where the
  // server allows it, and wakes the worker. Always 1.
  int doRun(std::shared_ptr<SliceRun> run);
  // Asks an idle worker to end.
  void requestStop();
  int state() const { return m_state.load(); }
  CTask* currentTask() const { return m_task; }
  // The part claimed for this worker by doHelp; SliceParts::kNone for a task.
  int currentPart() const { return m_part; }
  // The run handed over by doRun; null for a single task or a help.
  const std::shared_ptr<SliceRun>& currentRun() const { return m_run; }

  // Event signalled each time this worker finishes a step (may be null).
  void setStepDoneEvent(platform::Event* event) { m_stepDone = event; }
  // Waits at most timeoutMs for the thread to end; joins it when it did.
  bool waitEnded(std::int64_t timeoutMs);
  // Joins without limit (the thread must not outlive what it uses).
  void join();
  // Asks the worker to end and joins it. Derived destructors call this first,
  // so the thread never runs a step on a half-destroyed object.
  void stopAndJoin();

 protected:
  std::timed_mutex* m_mutex;  // shared write lock, not owned

 private:
  static int ThreadFunc(CThread* self);

  std::thread m_thread;
  std::atomic<int> m_state{kIdle};
  CTask* m_task = nullptr;
  int m_part = -1;
  std::shared_ptr<SliceRun> m_run;
  platform::Event m_wake{false, false};
  platform::Event m_ended{true, false};
  platform::Event* m_stepDone = nullptr;
};
