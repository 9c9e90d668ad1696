#include "support/Subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

extern char** environ;

Subprocess Subprocess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                             const std::string& outputFile) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    env[entry.substr(0, entry.find('='))] = entry;
  }
  for (const auto& entry : extraEnv) env[entry.substr(0, entry.find('='))] = entry;
  std::vector<char*> envp;
  for (auto& [name, entry] : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!outputFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  Subprocess process;
  if (posix_spawn(&process.pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) process.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return process;
}

int Subprocess::Wait(int timeoutMs) {
  if (pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void Subprocess::Kill(int signal) {
  if (pid > 0) kill(pid, signal);
}
