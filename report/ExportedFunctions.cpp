#include "ExportedFunctions.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/ThreadStart.h"

namespace {

std::atomic<int> g_nsisOperation{0};
std::atomic<int> g_nsisSoftware{0};
std::atomic<int> g_nsisLanguage{0};
std::atomic<int> g_nsisSite{0};

std::mutex g_nsisLock;
std::condition_variable g_nsisIdle;
int g_nsisRunning = 0;
// The objects of NSISLog live until the process ends; the list itself is
// never destroyed, so they stay reachable to the very end.
std::vector<WebLog*>& NsisObjects() {
  static auto* objects = new std::vector<WebLog*>;
  return *objects;
}

std::string CurrentFolder() {
  char path[4096];
  return ::getcwd(path, sizeof path) != nullptr ? std::string(path) : std::string(".");
}

void NsisLogThread(WebLog* object, int op, int software, int language, int site) {
  bool identified = false;
  for (int attempt = 0; attempt < 3 && !identified; ++attempt) {
    std::string guid;
    std::string userId;
    object->GetUserInfo(guid, userId);
    identified = !guid.empty() || !userId.empty();
  }
  if (identified) object->ReportUsage(op, 1, "", software, language, site, "", "", 0, 0);
  std::lock_guard<std::mutex> lock(g_nsisLock);
  --g_nsisRunning;
  g_nsisIdle.notify_all();
}

}  // namespace

extern "C" WebLog* CreateExportObj() {
  try {
    return new WebLog(report::CurrentEndpoints(), report::CurrentHost(), CurrentFolder());
  } catch (...) {
    return nullptr;
  }
}

extern "C" void DestroyExportObj(WebLog* object) { delete object; }

extern "C" int NSISLog(int a, int b, int c, int d) {
  g_nsisOperation = a;
  g_nsisSoftware = b;
  g_nsisLanguage = c;
  g_nsisSite = d;
  WebLog* object = CreateExportObj();
  if (object == nullptr) return 0;
  std::lock_guard<std::mutex> lock(g_nsisLock);
  try {
    NsisObjects().push_back(object);
  } catch (...) {
    return 0;
  }
  ++g_nsisRunning;
  try {
    platform::StartThread([=] { NsisLogThread(object, a, b, c, d); }).detach();
  } catch (...) {
    --g_nsisRunning;  // no thread: nothing will be sent
  }
  return 0;
}

namespace report {

bool WaitForNsisLogThreads(int timeoutMs) {
  std::unique_lock<std::mutex> lock(g_nsisLock);
  return g_nsisIdle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return g_nsisRunning == 0; });
}

}  // namespace report
