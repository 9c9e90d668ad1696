#pragma once
// Starts a real program for a test and waits for it with a bound. The object
// owns the process: one still running when the object goes (a failed
// assertion, an early return) is killed and reaped, so no test leaves a
// program behind.
#include <sys/types.h>

#include <string>
#include <vector>

class Subprocess {
 public:
  Subprocess() = default;
  Subprocess(Subprocess&& other) noexcept;
  Subprocess& operator=(Subprocess&& other) noexcept;
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;
  ~Subprocess();

  // argv[0] is the program path. extraEnv entries ("NAME=value") are added to
  // (or replace in) this process's environment. Standard output and error go
  // to outputFile when it is not empty.
  static Subprocess Start(const std::vector<std::string>& argv,
                          const std::vector<std::string>& extraEnv = {},
                          const std::string& outputFile = "");

  // Exit code, 128 + signal when killed by one, or -1 when still running
  // after timeoutMs (the process is left running).
  int Wait(int timeoutMs);
  void Kill(int signal);

  pid_t pid = -1;
};

// Kills and reaps every child of this process whose executable's file name is
// exeName (for programs that code under test started and left running).
// Returns how many were ended.
int KillChildrenNamed(const std::string& exeName);
