#include "platform/MinidumpThreads.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "platform/MinidumpContext.h"

namespace platform {

namespace {

// How long the crash handler waits for all threads together.
constexpr long kCaptureBoundNs = 500L * 1000 * 1000;
constexpr long kPollNs = 1000L * 1000;

std::atomic<ThreadCapture*> g_slots{nullptr};
std::atomic<std::size_t> g_slotCount{0};

int CaptureSignal() { return SIGRTMAX - 2; }

pid_t CurrentTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

void Park() {
  for (;;) {
    timespec pause{1, 0};
    nanosleep(&pause, nullptr);
  }
}

void OnCaptureSignal(int, siginfo_t* info, void* context) {
  ThreadCapture* slots = g_slots.load();
  if (slots == nullptr || info->si_pid != getpid()) return;
  const pid_t self = CurrentTid();
  const std::size_t count = g_slotCount.load();
  for (std::size_t i = 0; i < count; ++i) {
    if (slots[i].tid != self) continue;
    ContextFromUcontext(*static_cast<const ucontext_t*>(context), slots[i].context);
    __atomic_store_n(&slots[i].state, 1, __ATOMIC_RELEASE);
    Park();
  }
}

bool ParseTid(const char* name, pid_t& tid) {
  if (*name < '0' || *name > '9') return false;
  long value = 0;
  for (; *name >= '0' && *name <= '9'; ++name) value = value * 10 + (*name - '0');
  tid = static_cast<pid_t>(value);
  return *name == '\0';
}

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

// Fills slots with the tids of /proc/self/task other than the crashing one.
std::size_t ListThreads(pid_t crashingTid, ThreadCapture* slots, std::size_t capacity) {
  const int dir = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return 0;
  alignas(8) char buffer[4096];
  std::size_t count = 0;
  for (;;) {
    const long got = syscall(SYS_getdents64, dir, buffer, sizeof buffer);
    if (got <= 0) break;
    for (long at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
      pid_t tid = 0;
      if (ParseTid(entry->d_name, tid) && tid != crashingTid && count < capacity) {
        slots[count].tid = tid;
        __atomic_store_n(&slots[count].state, 0, __ATOMIC_RELEASE);
        ++count;
      }
      at += entry->d_reclen;
    }
  }
  close(dir);
  return count;
}

}  // namespace

bool InstallThreadCaptureHandler() {
  struct sigaction action {};
  action.sa_sigaction = &OnCaptureSignal;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigfillset(&action.sa_mask);
  return sigaction(CaptureSignal(), &action, nullptr) == 0;
}

std::size_t CaptureOtherThreads(pid_t crashingTid, ThreadCapture* slots, std::size_t capacity) {
  const std::size_t listed = ListThreads(crashingTid, slots, capacity);
  g_slotCount.store(listed);
  g_slots.store(slots);
  const pid_t pid = getpid();
  for (std::size_t i = 0; i < listed; ++i) syscall(SYS_tgkill, pid, slots[i].tid, CaptureSignal());
  for (long waited = 0; waited < kCaptureBoundNs; waited += kPollNs) {
    std::size_t done = 0;
    for (std::size_t i = 0; i < listed; ++i) done += __atomic_load_n(&slots[i].state, __ATOMIC_ACQUIRE) == 1;
    if (done == listed) break;
    timespec pause{0, kPollNs};
    nanosleep(&pause, nullptr);
  }
  // Late answers are ignored from here; the captured ones move to the front.
  g_slots.store(nullptr);
  g_slotCount.store(0);
  std::size_t captured = 0;
  for (std::size_t i = 0; i < listed; ++i) {
    if (__atomic_load_n(&slots[i].state, __ATOMIC_ACQUIRE) != 1) continue;
    if (captured != i) {
      slots[captured].tid = slots[i].tid;
      slots[captured].context = slots[i].context;
      slots[captured].state = 1;
    }
    ++captured;
  }
  return captured;
}

}  // namespace platform
