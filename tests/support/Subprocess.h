#pragma once
// Starts a real program for a test and waits for it with a bound.
#include <sys/types.h>

#include <string>
#include <vector>

struct Subprocess {
  pid_t pid = -1;

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
};
