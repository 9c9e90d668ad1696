#pragma once
// Downloads one URL to one local file by building a download driver, starting
// it and watching it from the calling thread, and checks a file's MD5.
// Blocking calls; every outcome is a result code.
#include <cstdint>
#include <functional>
#include <string>

#include "DownloadTimings.h"
#include "EnumErrorCode.h"

class CDownloader;
class CSingleUserLog;

class CDownLoadImpl {
 public:
  // Progress of the package download (done, total bytes), called on the
  // supervising thread; the main window registers it.
  using ProgressCallback = std::function<void(std::int64_t done, std::int64_t total)>;

  // Null userLog: the process's telemetry queue.
  explicit CDownLoadImpl(DownloadTimings timings = DownloadTimings{}, CSingleUserLog* userLog = nullptr);

  // One download run (resuming through localPath + ".xml"). Returns an
  // EnumErrorCode value: Completed, GetLengthFailed, OpenFileFailed,
  // CreateThreadsFailed, NetworkDown, NoProgress, CdnFailed, LengthShort,
  // TooManyRedirects or PackageTooSmall. cdnReport receives the run's CDN
  // report. The package flag turns on task logging, progress reports and the
  // 1 MiB minimum.
  int SuperDownloadFile(const std::string& url, const std::string& localPath, std::string& cdnReport,
                        bool packageFlag);

  // MD5 of the file (lower-case hex) equal to expected or to extra; writes
  // marker + "###" + digest to filePath + ".db".
  static bool checkMD5(std::string filePath, std::string expected, std::string extra, std::string marker);
  // Lower-case hex MD5 of a file's bytes; the digest of no data when unreadable.
  static std::string FileMd5(const std::string& filePath);

  void SetProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }
  // The number of workers of a run on this machine.
  static int WorkerCount();

 private:
  bool networkAlive() const;
  int stopRun(CDownloader& driver, std::string& cdnReport, int result);
  int finishSelfStoppedRun(CDownloader& driver, const std::string& localPath, std::string& cdnReport,
                           bool packageFlag, double slowest, double fastest);

  DownloadTimings m_timings;
  ProgressCallback m_progress;
  CSingleUserLog& m_log;
};
