#include "TaskInfoSaver.h"

#include <utility>

#include "platform/ThreadStart.h"

TaskInfoSaver::TaskInfoSaver(std::function<void(const std::string&)> write)
    : m_write(std::move(write)), m_thread(platform::StartThread([this] { run(); })) {}

TaskInfoSaver::~TaskInfoSaver() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stop = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void TaskInfoSaver::post(std::string snapshot) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pending = std::move(snapshot);
  }
  m_changed.notify_all();
}

void TaskInfoSaver::drain() {
  std::unique_lock<std::mutex> lock(m_lock);
  m_changed.wait(lock, [this] { return !m_pending && !m_writing; });
}

void TaskInfoSaver::run() {
  std::unique_lock<std::mutex> lock(m_lock);
  for (;;) {
    m_changed.wait(lock, [this] { return m_pending || m_stop; });
    if (!m_pending) return;  // stopping with nothing left to write
    std::string snapshot = std::move(*m_pending);
    m_pending.reset();
    m_writing = true;
    lock.unlock();
    m_write(snapshot);
    lock.lock();
    m_writing = false;
    m_changed.notify_all();
  }
}
