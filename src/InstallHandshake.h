#pragma once
// What the window and its install workers share, owned by the window and lent
// to each worker for the window's life:
// - the configuration record: the window's background query or the worker
//   makes it ready; the window reads what the worker made only after the
//   worker's messages;
// - the flag by which the worker abandons the background query;
// - the "ProgressFinish100" event, set when the window's progress has ended;
// - the close signal, set once when the window closes and watched by the
//   downloads, which may outlive a window that stopped waiting for them.
#include <atomic>
#include <memory>

#include "CConfigure.h"
#include "platform/Event.h"

class InstallHandshake {
 public:
  CConfigure config{0, 0, 0};
  std::atomic<bool> asyncQueryAbandoned{false};
  platform::Event progressFinished{true, false};

  void Close() { closed_->store(true); }
  bool Closed() const { return closed_->load(); }
  std::shared_ptr<const std::atomic<bool>> CloseSignal() const { return closed_; }

 private:
  std::shared_ptr<std::atomic<bool>> closed_ = std::make_shared<std::atomic<bool>>(false);
};
