#include "CDownloadThreadManager.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include "CDownloadThread.h"
#include "FuntionImpl.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "platform/NamedMutex.h"
#include "platform/PrivateFiles.h"

CDownloadThreadManager::CDownloadThreadManager(const std::string& localPath, const DownloadTimings& timings,
                                               CSingleUserLog* userLog)
    : m_sharedMutex(platform::NamedMutex("mutex_for_downloadthread")),
      m_localPath(localPath),
      m_timings(timings),
      m_log(CSingleUserLog::GivenOrProcess(userLog)) {
  m_mutex = m_sharedMutex.get();
  m_workerWaitMs = timings.workerWaitMs;
}

CDownloadThreadManager::~CDownloadThreadManager() { closeLocalFile(); }

bool CDownloadThreadManager::isLocalFileExist() const {
  std::FILE* file = std::fopen(m_localPath.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

std::FILE* CDownloadThreadManager::openPackage(int& error) const {
  errno = 0;
  std::FILE* file = platform::OpenPrivateFile(m_localPath, !isLocalFileExist());
  error = file == nullptr ? errno : 0;
  return file;
}

std::FILE* CDownloadThreadManager::openAfterKill(int& error) const {
  // SIGKILL is delivered asynchronously: the program text stays busy until
  // the process has really gone, so the second open waits for that briefly.
  std::FILE* file = openPackage(error);
  for (int i = 0; file == nullptr && error == ETXTBSY && i < 100; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    file = openPackage(error);
  }
  return file;
}

int CDownloadThreadManager::createThreads(int count) {
  int error = 0;
  if (m_file == nullptr) m_file = openPackage(error);
  if (m_file == nullptr) {
    QMLOG("local file is NULL error code = " << error);
    // The package of an earlier attempt may still be running (the file is
    // then busy as a program text): end it and try once more.
    if (error == ETXTBSY) {
      FuntionImpl::FindProcessByFullPath(m_localPath, true, true);
      m_file = openAfterKill(error);
    }
  }
  if (m_file == nullptr) {
    QMLOG("after kill local file is NULL error code = " << error);
    m_log.AddUserLog("Other", "OpenFileErrCode", std::to_string(error), false);
    return -1;
  }
  QMLOG(" Create threads and init: " << count);
  for (int i = 0; i < count; ++i) {
    adoptWorker(std::make_unique<CDownloadThread>(m_mutex, m_file, m_timings));
  }
  return static_cast<int>(threadCount());
}

void CDownloadThreadManager::closeLocalFile() {
  releaseThreads();
  if (m_file != nullptr) {
    std::fclose(m_file);
    m_file = nullptr;
  }
}
