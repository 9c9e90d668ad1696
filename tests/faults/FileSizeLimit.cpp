#include "faults/FileSizeLimit.h"

FileSizeLimit::FileSizeLimit(std::int64_t bytes) {
  if (getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  if (sigaction(SIGXFSZ, &ignore, &oldAction_) != 0) return;
  rlimit limited = old_;
  limited.rlim_cur = static_cast<rlim_t>(bytes);
  active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
  if (!active_) sigaction(SIGXFSZ, &oldAction_, nullptr);
}

FileSizeLimit::~FileSizeLimit() { Lift(); }

void FileSizeLimit::Lift() {
  if (!active_) return;
  setrlimit(RLIMIT_FSIZE, &old_);
  sigaction(SIGXFSZ, &oldAction_, nullptr);
  active_ = false;
}
