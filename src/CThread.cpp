#include "CThread.h"

#include <chrono>
#include <system_error>

#include "CTask.h"
#include "SliceRun.h"
#include "Logger.h"
#include "platform/ThreadStart.h"

CThread::CThread(std::timed_mutex* mutex) : m_mutex(mutex) {}

CThread::~CThread() {
  // Never leave a running thread behind the object it uses.
  stopAndJoin();
}

int CThread::init() {
  try {
    m_thread = platform::StartThread([this] { ThreadFunc(this); });
  } catch (const std::system_error& error) {
    QMLOG("  creat thread error code =  " << error.code().value());
    return 0;
  }
  return 1;
}

int CThread::doTask(CTask* task) {
  m_task = task;
  m_part = SliceParts::kNone;
  m_run.reset();
  if (task->LogFlag != 0) {
    QMLOG(" Tasks info, download begin, id = " << task->TaskId.load() << ", task status = "
                                               << task->TaskStatus.load() << ", thread status = "
                                               << m_state.load());
  }
  m_state = kWork;
  m_wake.Set();
  return 1;
}

int CThread::doRun(std::shared_ptr<SliceRun> run) {
  CTask* first = run->tasks.front();
  m_task = first;
  m_part = SliceParts::kNone;
  if (first->LogFlag != 0) {
    QMLOG(" Tasks info, download begin, id = " << first->TaskId.load() << ", task status = "
                                               << first->TaskStatus.load() << ", thread status = "
                                               << m_state.load() << ", run of " << run->tasks.size());
  }
  m_run = std::move(run);
  m_state = kWork;
  m_wake.Set();
  return 1;
}

int CThread::doHelp(CTask* task, int part) {
  m_task = task;
  m_part = part;
  m_run.reset();
  if (task->LogFlag != 0) QMLOG(" Tasks info, help begin, id = " << task->TaskId.load() << ", part = " << part);
  m_state = kWork;
  m_wake.Set();
  return 1;
}

void CThread::requestStop() {
  m_state = kStop;
  m_wake.Set();
}

bool CThread::waitEnded(std::int64_t timeoutMs) {
  if (!m_thread.joinable()) return true;
  if (!m_ended.Wait(timeoutMs)) return false;
  m_thread.join();
  return true;
}

void CThread::join() {
  if (m_thread.joinable()) m_thread.join();
}

void CThread::stopAndJoin() {
  if (!m_thread.joinable()) return;
  requestStop();
  m_thread.join();
}

int CThread::ThreadFunc(CThread* self) {
  for (;;) {
    const int state = self->m_state.load();
    if (state == kIdle) {
      QMLOG(" wait before thread " << std::this_thread::get_id());
      self->m_wake.Wait();
      QMLOG(" wait after thread " << std::this_thread::get_id());
      continue;
    }
    if (state == kStop) break;
    if (state == kWork) {
      self->taskBusiness();
      // Only the dispatcher moves work -> idle -> work; a stop request made
      // meanwhile must not be overwritten.
      int expected = kWork;
      self->m_state.compare_exchange_strong(expected, kIdle);
      if (self->m_stepDone != nullptr) self->m_stepDone->Set();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  self->m_ended.Set();
  return 1;
}
