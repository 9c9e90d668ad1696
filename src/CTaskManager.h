#pragma once
// The dispatch loop's view of a task list: three slots to take and return tasks.
class CTask;

class CTaskManager {
 public:
  virtual ~CTaskManager() = default;
  // First pending task, now handed out (status 3) and on the dispatched list;
  // null when nothing is pending.
  virtual CTask* popPendingTask() = 0;
  // Appends to the pending list; 1, or 0 for a null task.
  virtual int pushPendingTask(CTask* task) = 0;
  // Appends to the dispatched list; 1, or 0 for a null task.
  virtual int pushDoneTask(CTask* task) = 0;
};
