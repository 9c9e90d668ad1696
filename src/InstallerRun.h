#pragma once
// The product's setup program: its silent command line, a private verified
// copy to run, and the run itself with its one-second waits against the
// install time-out.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <ctime>
#include <string>
#include <vector>

#include "platform/UniqueFd.h"

struct SetupCommand {
  // The command line as logged: " /VERYSILENT /SP- /NORESTART /DIR=\"…/\" /LANG=…
  // /LOG=\"…\" /sptrack …".
  std::string commandLine;
  // The same switches as separate arguments (no shell ever parses them).
  std::vector<std::string> arguments;
};

SetupCommand BuildSetupCommand(const std::string& installDir, const std::string& languageCode,
                               const std::string& logDir, const std::string& logFileName,
                               const std::string& trackingValue);

// "%s_Setup_%.4d%.2d%.2d%.2d%.2d%.2d.log" of the product name and local time.
std::string InstallerLogFileName(const std::string& softwareName, const std::tm& local);

// The program's own file name when it contains "_", else empty.
std::string TrackingValueFor(const std::string& executablePath);

// Copies the package into a private folder of its own (mode 0700, inside the
// user's private runtime folder), makes the copy read-only (mode 0500) and
// opens it: the check and the start then use the same bytes, whatever happens
// to the downloaded file meanwhile. The copy is removed by the destructor.
class PrivatePackageCopy {
 public:
  PrivatePackageCopy() = default;
  ~PrivatePackageCopy();
  PrivatePackageCopy(const PrivatePackageCopy&) = delete;
  PrivatePackageCopy& operator=(const PrivatePackageCopy&) = delete;

  bool Make(const std::string& packagePath);
  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
  platform::UniqueFd fd_;
};

enum class SetupWait { kFinished,
                       kTimedOut,
                       kNotStarted };

struct SetupRunResult {
  SetupWait outcome = SetupWait::kNotStarted;
  unsigned waits = 0;  // one-second waits that ended without the program ending
  pid_t pid = -1;
};

// Starts program with the arguments and waits in steps of waitUnit: the run
// finishes when the program ends (its exit code is not looked at) and times
// out when more than installTimeout steps passed without an end; the program
// is then left running. onStarted runs right after the start.
SetupRunResult RunSetupProgram(const std::string& program, const SetupCommand& command, unsigned installTimeout,
                               const std::function<void()>& onStarted,
                               std::chrono::milliseconds waitUnit = std::chrono::seconds(1));
