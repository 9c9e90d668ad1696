#pragma once
// Writes task-info snapshots on a thread of its own, so that the dispatch
// thread never waits for the disk while workers wait for their next task.
// Only the newest snapshot matters: one posted while another is waiting
// replaces it. Snapshots are written one at a time, in the order posted.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class TaskInfoSaver {
 public:
  explicit TaskInfoSaver(std::function<void(const std::string&)> write);
  // Writes what is still pending, then ends the thread.
  ~TaskInfoSaver();
  TaskInfoSaver(const TaskInfoSaver&) = delete;
  TaskInfoSaver& operator=(const TaskInfoSaver&) = delete;

  void post(std::string snapshot);
  // Returns once every posted snapshot has been written.
  void drain();

 private:
  void run();

  std::function<void(const std::string&)> m_write;
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::optional<std::string> m_pending;
  bool m_writing = false;
  bool m_stop = false;
  std::thread m_thread;
};
