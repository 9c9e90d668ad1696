#pragma once
// The crash handler: the program's counterpart of an unhandled-exception
// filter. Installed first thing by the entry point, it catches SIGSEGV,
// SIGBUS, SIGILL, SIGFPE and SIGABRT (std::terminate ends in SIGABRT) on an
// alternate signal stack, so a stack overflow is caught too: the main thread
// gets its stack here, every thread started through platform::StartThread
// its own (platform/ThreadStart.h); a thread started any other way has none
// and an overflow there dies without a dump. On a crash it
// logs, releases the single-instance lock, writes a minidump beside the log
// (or into the temporary folder before logging exists), starts the program
// again with " -dmp <log name>" when the relaunch policy is 1 or 2, and lets
// the process die with the original signal.
#include <signal.h>

#include <atomic>
#include <string>

#include "DiagnosticBundle.h"

void InstallUnhandledExceptionHandler();
// The signal handler itself (installed by the function above).
void UnhandledExceptionHandler(int signal, siginfo_t* info, void* context);

// The run's log file; its dump becomes this path + ".dmp".
void SetCrashLogFile(const std::string& logFilePath);
// Where the relaunch policy is read at crash time (the telemetry queue's
// downloaderConfig); without one the program is never started again.
void SetCrashRelaunchPolicy(const std::atomic<int>* policy);
// From now on a crash writes its dump but never starts the program again
// (the diagnostic-bundle run itself).
void ForbidCrashRelaunch();
