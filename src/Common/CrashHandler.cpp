#include "Common/CrashHandler.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "Common/ProcessGlobals.h"
#include "FuntionImpl.h"
#include "platform/FixedText.h"
#include "platform/MinidumpThreads.h"
#include "platform/MinidumpWriter.h"
#include "platform/Paths.h"
#include "platform/SignalSafeLog.h"

extern char** environ;

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// Room for the handler's frames and the dump writer's locals, also after the
// thread's own stack has overflowed.
constexpr std::size_t kAlternateStackBytes = 256 << 10;

// Everything the handler reads is prepared here before any crash.
struct CrashSetup {
  char executable[4096];
  char tempFolder[4096];  // the private runtime folder; ends in "/"
  char randomSuffix[20];  // "_" and 16 hex digits, so the early name cannot be guessed
  char version[64];       // "%d.%d.%d.%d"
};
CrashSetup g_setup;
std::atomic<const std::atomic<int>*> g_relaunchPolicy{nullptr};
std::atomic<bool> g_relaunchForbidden{false};
std::atomic<pid_t> g_crashingTid{0};
std::terminate_handler g_previousTerminate = nullptr;

pid_t CurrentTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

void Log(const char* function, const char* text, platform::FixedText* detail = nullptr) {
  char buffer[1024];
  platform::FixedText line(buffer, sizeof buffer);
  line.Append(function).AppendChar(' ').Append(__FILE__).Append(text);
  if (detail != nullptr) line.Append(detail->c_str(), detail->size());
  platform::SignalSafeLogLine(line.c_str(), line.size());
}

void ReleaseInstanceLockAfterCrash(const char* function) {
  platform::InstanceLock* lock = g_instanceMutex.exchange(nullptr);
  if (lock == nullptr || !lock->Held()) return;
  platform::LockReleaseResult result;
  lock->ReleaseFromSignalHandler(result);
  char buffer[128];
  platform::FixedText detail(buffer, sizeof buffer);
  detail.AppendSigned(result.unlocked).Append(", ").AppendSigned(result.unlockError).Append(", ");
  detail.AppendSigned(result.closed).Append(", ").AppendSigned(result.closeError);
  Log(function, " Release mutex: ", &detail);
}

// The log path + ".dmp", or before logging exists the long name in the
// private runtime folder:
// <runtime>/<downloader id>_<version>_<17-digit local time>_<16 hex digits>.dmp.
void ChooseDumpName(platform::FixedText& name) {
  const char* logFile = platform::SignalSafeLogFile();
  if (*logFile != '\0') {
    name.Append(logFile).Append(".dmp");
    return;
  }
  if (g_setup.tempFolder[0] == '\0') return;  // no private folder: no early dump
  const platform::LocalTimeFields t = platform::SignalSafeLocalTime();
  name.Append(g_setup.tempFolder).AppendSigned(g_downloaderId.load()).AppendChar('_');
  name.Append(g_setup.version).AppendChar('_');
  name.AppendUnsigned(static_cast<unsigned>(t.year), 4).AppendUnsigned(static_cast<unsigned>(t.month), 2);
  name.AppendUnsigned(static_cast<unsigned>(t.day), 2).AppendUnsigned(static_cast<unsigned>(t.hour), 2);
  name.AppendUnsigned(static_cast<unsigned>(t.minute), 2).AppendUnsigned(static_cast<unsigned>(t.second), 2);
  name.AppendUnsigned(static_cast<unsigned>(t.millisecond), 3).Append(g_setup.randomSuffix).Append(".dmp");
}

bool WriteDump(const char* function, const char* path, const platform::CrashedThread& crash) {
  // Never through a symlink, never into a file someone made beforehand.
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  const int createError = fd < 0 ? errno : 0;
  char buffer[64];
  platform::FixedText detail(buffer, sizeof buffer);
  detail.AppendSigned(fd >= 0 ? 1 : 0).Append(", ").AppendSigned(createError);
  Log(function, " Create dmp file: ", &detail);
  if (fd < 0) return false;
  const bool written = platform::MinidumpWriter::Write(fd, crash);
  const int writeError = written ? 0 : errno;
  detail.Clear();
  detail.AppendSigned(written ? 1 : 0).Append(", ").AppendSigned(writeError);
  Log(function, " Write dmp file: ", &detail);
  close(fd);
  return written;
}

bool RelaunchWanted() {
  if (g_relaunchForbidden.load()) return false;
  const std::atomic<int>* policy = g_relaunchPolicy.load();
  if (policy == nullptr) return false;
  const int value = policy->load(std::memory_order_relaxed);
  return value == 1 || value == 2;
}

// Starts the program again as "<exe> -dmp <log file name>": a raw clone and
// execve, since nothing of the C library's fork machinery may run here.
void Relaunch(const char* function) {
  const char* logFile = platform::SignalSafeLogFile();
  const char* name = std::strrchr(logFile, '/');
  name = name != nullptr ? name + 1 : logFile;
  char* const argv[] = {g_setup.executable, const_cast<char*>("-dmp"), const_cast<char*>(name), nullptr};
  const long child = syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof(unsigned long));
    // Nothing of ours above stderr reaches the new program.
    syscall(SYS_close_range, 3U, ~0U, 0U);
    syscall(SYS_execve, g_setup.executable, argv, environ);
    syscall(SYS_exit_group, 127);
  }
  char buffer[64];
  platform::FixedText detail(buffer, sizeof buffer);
  detail.AppendSigned(child);
  Log(function, " Relaunch: ", &detail);
}

// Lets the process die of the original signal: a fault re-executes the
// faulting instruction once the default action is back; a sent signal
// (abort, kill) is sent again.
void DieWithSignal(int signal, const siginfo_t* info) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  if (info->si_code <= 0 || signal == SIGABRT) syscall(SYS_tgkill, getpid(), CurrentTid(), signal);
}

}  // namespace

// The handler proper. The second thread to crash waits for the first to end
// the process; a fault inside the handler itself ends it at once.
void UnhandledExceptionHandler(int signal, siginfo_t* info, void* context) {
  const pid_t self = CurrentTid();
  pid_t expected = 0;
  if (!g_crashingTid.compare_exchange_strong(expected, self)) {
    if (expected == self) {
      DieWithSignal(signal, info);
      return;
    }
    for (;;) pause();
  }
  const char* function = __PRETTY_FUNCTION__;
  Log(function, " Exception handler entered.");
  ReleaseInstanceLockAfterCrash(function);
  char nameBuffer[4096 + 64];
  platform::FixedText dumpName(nameBuffer, sizeof nameBuffer);
  ChooseDumpName(dumpName);
  platform::CrashedThread crash;
  crash.tid = self;
  crash.signal = signal;
  crash.code = info->si_code;
  crash.faultAddress = reinterpret_cast<std::uint64_t>(info->si_addr);
  crash.context = static_cast<const ucontext_t*>(context);
  if (WriteDump(function, dumpName.c_str(), crash) && RelaunchWanted()) Relaunch(function);
  DieWithSignal(signal, info);
}

namespace {

void OnTerminate() {
  if (g_previousTerminate != nullptr) g_previousTerminate();  // prints the exception, then aborts
  std::abort();
}

void SetUpAlternateStack() {
  void* memory = mmap(nullptr, kAlternateStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAlternateStackBytes;
  sigaltstack(&stack, nullptr);
}

void PrepareSetup() {
  platform::FixedText executable(g_setup.executable, sizeof g_setup.executable);
  executable.Append(platform::ExecutablePath().c_str());
  // A shared temporary folder would let another local user plant a symlink
  // or a file at the dump's name: the early dump goes to our own folder.
  const std::string runtime = platform::RuntimeDir();
  platform::FixedText temp(g_setup.tempFolder, sizeof g_setup.tempFolder);
  if (!runtime.empty()) temp.Append(runtime.c_str()).AppendChar('/');
  unsigned char random[8] = {};
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::memcpy(random, &now, sizeof random);
  }
  platform::FixedText suffix(g_setup.randomSuffix, sizeof g_setup.randomSuffix);
  suffix.AppendChar('_');
  for (const unsigned char byte : random) suffix.AppendChar("0123456789abcdef"[byte >> 4]).AppendChar("0123456789abcdef"[byte & 15]);
  platform::FixedText version(g_setup.version, sizeof g_setup.version);
  const std::string own = GetFileVersionString(platform::ExecutablePath());
  version.Append(own.empty() ? "0.0.0.0" : own.c_str());
}

}  // namespace

void InstallUnhandledExceptionHandler() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  PrepareSetup();
  platform::PrepareSignalSafeTime();
  platform::MinidumpWriter::Reserve();
  platform::InstallThreadCaptureHandler();
  SetUpAlternateStack();
  struct sigaction action {};
  action.sa_sigaction = &UnhandledExceptionHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigfillset(&action.sa_mask);
  for (int signal : kCrashSignals) sigaction(signal, &action, nullptr);
  g_previousTerminate = std::set_terminate(&OnTerminate);
}

void SetCrashLogFile(const std::string& logFilePath) { platform::SetSignalSafeLogFile(logFilePath.c_str()); }

void SetCrashRelaunchPolicy(const std::atomic<int>* policy) { g_relaunchPolicy = policy; }

void ForbidCrashRelaunch() { g_relaunchForbidden = true; }
