// qm-fetch URL FILE [--rounds N] [--workers N] [--cacert PEM] [--log PATH] [--no-package-flag] [--offline-ok]
//
// Downloads URL to FILE with the segmented download engine, in rounds as the
// install worker runs them: each round resumes through FILE.xml. Shows a
// progress line on standard error, prints "result N" and exits 0 when the
// file is complete, otherwise with the last round's result code.
#include <curl/curl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CLibcurlTool.h"
#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "Logger.h"
#include "SingleUserLog.h"

namespace {

struct Arguments {
  std::string url;
  std::string file;
  int rounds = 12;
  int workers = 0;  // 0: the processor rule
  std::string caBundle;
  std::string logPath = "/dev/null";
  bool packageFlag = true;
  bool offlineOk = false;  // loopback-only machines: skip the network check
};

int Usage() {
  std::fprintf(stderr,
               "usage: qm-fetch URL FILE [--rounds N] [--workers N] [--cacert PEM] [--log PATH] [--no-package-flag] "
               "[--offline-ok]\n");
  return 2;
}

bool Parse(int argc, char** argv, Arguments& args) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--rounds" && hasValue) {
      args.rounds = std::atoi(argv[++i]);
    } else if (arg == "--workers" && hasValue) {
      args.workers = std::atoi(argv[++i]);
    } else if (arg == "--cacert" && hasValue) {
      args.caBundle = argv[++i];
    } else if (arg == "--log" && hasValue) {
      args.logPath = argv[++i];
    } else if (arg == "--offline-ok") {
      args.offlineOk = true;
    } else if (arg == "--no-package-flag") {
      args.packageFlag = false;
    } else if (positional == 0 && arg.rfind("--", 0) != 0) {
      args.url = arg;
      ++positional;
    } else if (positional == 1 && arg.rfind("--", 0) != 0) {
      args.file = arg;
      ++positional;
    } else {
      return false;
    }
  }
  return positional == 2 && args.rounds > 0 && args.workers >= 0 && args.workers <= 64;
}

void ShowProgress(std::int64_t done, std::int64_t total) {
  static std::int64_t lastShown = -1;
  const std::int64_t permille = total > 0 ? done * 1000 / total : 0;
  if (permille == lastShown) return;
  lastShown = permille;
  std::fprintf(stderr, "\r%5.1f%%  %.1f / %.1f MiB", permille / 10.0, done / 1048576.0, total / 1048576.0);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!Parse(argc, argv, args)) return Usage();
  // A tool run is no user's installation: no telemetry.
  UserLogSettings telemetry;
  telemetry.disabled = true;
  CSingleUserLog::SetInstanceSettings(telemetry);
  curl_global_init(CURL_GLOBAL_ALL);
  qmlog::ConfigureDefaultLogger(args.logPath, false);
  if (!args.caBundle.empty()) CLibcurlTool::SetCaBundle(args.caBundle);

  DownloadTimings timings;
  if (args.offlineOk) timings.networkAlive = [] { return true; };
  timings.workerCount = args.workers;
  CDownLoadImpl engine(timings);
  if (isatty(STDERR_FILENO)) engine.SetProgressCallback(&ShowProgress);
  int result = 0;
  for (int round = 1; round <= args.rounds; ++round) {
    QMLOG(" Tasks info, round begin, current = " << round << ", total = " << args.rounds);
    std::string cdnReport;
    result = engine.SuperDownloadFile(args.url, args.file, cdnReport, args.packageFlag);
    QMLOG(" Tasks info, round end, current = " << round << ", total = " << args.rounds << ", result = " << result);
    if (result == Completed) break;
    std::fprintf(stderr, "\nround %d ended with %d\n", round, result);
  }
  if (isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
  std::printf("result %d\n", result);
  std::fflush(stdout);
  CSingleUserLog::GetInstance()->WaitThreadForExit();
  curl_global_cleanup();
  return result == Completed ? 0 : result;
}
