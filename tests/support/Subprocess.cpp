#include "support/Subprocess.h"
#include "support/WaitUntil.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <map>
#include <thread>

extern char** environ;

Subprocess::Subprocess(Subprocess&& other) noexcept : pid(other.pid) { other.pid = -1; }

Subprocess& Subprocess::operator=(Subprocess&& other) noexcept {
  if (this != &other) {
    this->~Subprocess();
    pid = other.pid;
    other.pid = -1;
  }
  return *this;
}

Subprocess::~Subprocess() {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  pid = -1;
}

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
  int result = -1;
  WaitUntil(
      [&] {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return done != 0;  // ended, or not ours to wait for
      },
      std::chrono::milliseconds(timeoutMs), std::chrono::milliseconds(10));
  if (result != -1) pid = -1;
  return result;
}

void Subprocess::Kill(int signal) {
  if (pid > 0) kill(pid, signal);
}

int KillChildrenNamed(const std::string& exeName) {
  int ended = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return 0;
  while (const dirent* entry = readdir(proc.get())) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The parent id is the second field after the parenthesised command name.
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    if (parent != getpid()) continue;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/" + std::string(entry->d_name) + "/exe", ec);
    if (ec) continue;
    // A program whose file was removed shows as "name (deleted)".
    std::string name = exe.filename().string();
    const std::string deleted = " (deleted)";
    if (name.size() > deleted.size() && name.ends_with(deleted)) name.resize(name.size() - deleted.size());
    if (name != exeName) continue;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    ++ended;
  }
  return ended;
}
