#include "DownLoadImpl.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "CDownloader.h"
#include "FuntionImpl.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "SliceRules.h"
#include "UrlRules.h"
#include "platform/NetworkState.h"
#include "platform/PrivateFiles.h"

namespace {

constexpr std::int64_t kPackageMinimum = 1048576;

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::int64_t LocalFileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<std::int64_t>(size);
}

}  // namespace

CDownLoadImpl::CDownLoadImpl(DownloadTimings timings, CSingleUserLog* userLog)
    : m_timings(std::move(timings)), m_log(CSingleUserLog::GivenOrProcess(userLog)) {}

int CDownLoadImpl::WorkerCount() {
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  return WorkerCountFor(processors > 0 ? static_cast<int>(processors) : 1);
}

bool CDownLoadImpl::networkAlive() const {
  return m_timings.networkAlive ? m_timings.networkAlive() : platform::IsNetworkAlive();
}

int CDownLoadImpl::stopRun(CDownloader& driver, std::string& cdnReport, int result) {
  driver.setStatus(CDownloader::kStop);
  if (!driver.waitDispatcherEnded(m_timings.dispatcherWaitMs)) {
    QMLOG(" dispatch thread still running after wait, waiting for it to end");
  }
  cdnReport = driver.makeCdnReport();
  driver.releaseRun();
  return result;
}

int CDownLoadImpl::SuperDownloadFile(const std::string& url, const std::string& localPath, std::string& cdnReport,
                                     bool packageFlag) {
  const bool cdnUrl = IsCdnUrl(url);
  const int workers = m_timings.workerCount > 0 ? m_timings.workerCount : WorkerCount();
  CDownloader driver(url, localPath, localPath + ".xml", workers, m_timings, &m_log);
  const EnumErrorCode init = driver.downloadInit("Download", packageFlag ? 1 : 0);
  if (init != Completed) return stopRun(driver, cdnReport, init);

  driver.setStatus(CDownloader::kRun);
  m_log.AddUserLog_funnelEx("Download", "SliceDownloading", "", "", false);
  std::int64_t lastDownloaded = 0;
  std::int64_t lastTick = TickCountMs();
  double slowest = 102400.0;
  double fastest = 0.0;
  bool networkLost = !networkAlive();
  while (!networkLost) {
    const DownloadInfo info = driver.info();
    if (info.downloaded > lastDownloaded) {
      if (info.tick - lastTick > 0) {
        const double speed = (info.downloaded - lastDownloaded) / 1024.0 / 1024.0 / ((info.tick - lastTick) / 1000.0);
        fastest = std::max(fastest, speed);
        slowest = std::min(slowest, speed);
      }
      lastDownloaded = info.downloaded;
      lastTick = info.tick;
    }
    if (driver.remoteChanged()) {
      stopRun(driver, cdnReport, RemoteChanged);
      CDownloadTaskManager::DiscardChangedFile(url, localPath, localPath + ".xml", &m_log);
      return RemoteChanged;
    }
    if (info.downloaded == lastDownloaded && info.tick - lastTick >= m_timings.noProgressMs) {
      QMLOG("too long no speed:");
      return stopRun(driver, cdnReport, NoProgress);
    }
    if (cdnUrl && info.failedAttempts > 3 * driver.taskCount()) {
      QMLOG(" ---cdn fail:" << info.failedAttempts << " > 3 * " << driver.taskCount());
      return stopRun(driver, cdnReport, CdnFailed);
    }
    if (m_timings.cancel && m_timings.cancel->load()) {
      QMLOG(" download cancelled");
      return stopRun(driver, cdnReport, NoProgress);
    }
    if (driver.status() == CDownloader::kStop) return finishSelfStoppedRun(driver, localPath, cdnReport, packageFlag, slowest, fastest);
    if (packageFlag && m_progress) m_progress(info.downloaded, driver.contentLength());
    networkLost = !networkAlive();
    // Sleep until the driver stops or the next turn is due: a stalled
    // download costs no processor time.
    if (!networkLost) driver.waitStatusChange(m_timings.watchPeriodMs);
  }
  QMLOG("network is  no  alive");
  stopRun(driver, cdnReport, NetworkDown);
  std::this_thread::sleep_for(std::chrono::milliseconds(m_timings.networkLostPauseMs));
  return NetworkDown;
}

int CDownLoadImpl::finishSelfStoppedRun(CDownloader& driver, const std::string& localPath, std::string& cdnReport,
                                        bool packageFlag, double slowest, double fastest) {
  if (!driver.waitDispatcherEnded(m_timings.dispatcherWaitMs)) {
    QMLOG(" dispatch thread still running after wait, waiting for it to end");
  }
  cdnReport = driver.makeCdnReport();
  const std::int64_t length = driver.contentLength();
  const bool running = driver.runningFlag();
  driver.releaseRun();
  const DownloadInfo info = driver.info();
  if (info.downloaded < length) {
    QMLOG(" lenth is error, less than remote file.");
    return LengthShort;
  }
  // Every byte was written, but into a package that was removed or cut short
  // under the run: the file on disk does not hold them.
  if (LocalFileSize(localPath) < length) {
    QMLOG(" [Error]: "
          << "package file is shorter than the remote file, removed or cut during the download");
    return LengthShort;
  }
  if (packageFlag && LocalFileSize(localPath) < kPackageMinimum) return PackageTooSmall;
  if (!running) {
    if (packageFlag && m_progress) m_progress(length, length);
    return Completed;
  }
  const double average = info.elapsed > 0 ? static_cast<double>(info.downloaded) / info.elapsed * 1000 : 0;
  QMLOG(" Average speed: " << Format("%.1fMB/s", std::floor(average / 1048576 * 100) / 100));
  QMLOG(" Download speed range " << Format("%.1f MB/s", slowest) << " - " << Format("%.1f MB/s", fastest));
  return Completed;
}

std::string CDownLoadImpl::FileMd5(const std::string& filePath) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr);
  if (std::FILE* file = std::fopen(filePath.c_str(), "rb")) {
    std::vector<unsigned char> block(1048576);
    std::size_t n = 0;
    while ((n = std::fread(block.data(), 1, block.size(), file)) > 0) EVP_DigestUpdate(ctx.get(), block.data(), n);
    std::fclose(file);
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(ctx.get(), digest, &size);
  return HexLower(digest, size);
}

bool CDownLoadImpl::checkMD5(std::string filePath, std::string expected, std::string extra, std::string marker) {
  const std::string digest = FileMd5(filePath);
  QMLOG(" MD5 of file " << filePath << " is " << digest);
  if (std::FILE* side = platform::OpenPrivateFile(filePath + ".db", true)) {
    const std::string content = marker + "###" + digest;
    std::fwrite(content.data(), 1, content.size(), side);
    std::fclose(side);
  }
  return digest == expected || digest == extra;
}
