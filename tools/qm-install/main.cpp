// qm-install: the install flow without a window. It reads the embedded
// configuration, runs the install worker against the configured services and
// prints what the worker tells the window.
//   qm-install [--dir INSTALL_DIR] [--lang CODE]
#include <cstdio>
#include <ctime>
#include <string>

#include <curl/curl.h>

#include "Common/StartupRules.h"
#include "EmbeddedConfig.h"
#include "InstallThreadFunc.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "platform/MemoryZip.h"
#include "platform/Paths.h"
#include "platform/SkinResourceTable.h"

namespace {

// Stands in for the main window: prints each message and shows progress as a
// line; the progress animation ends at once.
class ConsoleWindow : public IInstallObserver {
 public:
  ConsoleWindow(std::string installDir, const CConfigure& config)
      : installDir_(std::move(installDir)), config_(config) {}
  void PostWorkerMessage(int message, std::intptr_t wParam) override {
    std::printf("\nwindow message %d (%ld)\n", message, static_cast<long>(wParam));
    std::fflush(stdout);
  }
  void SetAdviceUrl(const std::string&) override {}
  void SetStopProgressCreep(int) override {}
  void SetInstallFinished(bool) override {}
  int InstallProgressValue() const override { return 100; }
  void WriteProductLanguage() override {}
  void OnDownloadProgress(std::int64_t done, std::int64_t total) override {
    std::printf("\rdownloaded %lld of %lld bytes", static_cast<long long>(done), static_cast<long long>(total));
    std::fflush(stdout);
  }
  void OpenUrl(const std::string& url) override { std::printf("would open %s\n", url.c_str()); }
  void ClickStartApp() override {
    std::printf("product installed in %s (start it with \"%s/%s\")\n", installDir_.c_str(), installDir_.c_str(),
                config_.Process_name.c_str());
  }
  void CloseWindow() override {}
  void ReleaseInstanceLock() override {}

 private:
  std::string installDir_;
  const CConfigure& config_;  // the worker's, ready before this click
};

}  // namespace

int main(int argc, char** argv) {
  std::string dir = platform::HomeDir() + "/.local/opt/Vantor Mark Eraser";
  std::string lang = "en";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--dir") dir = argv[i + 1];
    else if (arg == "--lang") lang = argv[i + 1];
  }
  if (!platform::UseEmbeddedSkinArchive()) return 1;
  std::string xml;
  platform::ReadResourceFile(kEmbeddedConfigName, xml);
  const EmbeddedConfigItems items(xml);
  curl_global_init(CURL_GLOBAL_ALL);
  const StartupValues values = ReadStartupValues(ParseEmbeddedConfigItems(xml));
  CSingleUserLog::GetInstance()->InitLogPath(LogStemFromUrl(values.downloadUrl));
  qmlog::ConfigureDefaultLogger(CSingleUserLog::GetInstance()->GetLogFilePath(), false);
  std::printf("log file: %s\n", CSingleUserLog::GetInstance()->GetLogFilePath().c_str());
  InstallHandshake shared;
  shared.config.loadFromLayout(items, false);
  InstallRequest request;
  request.downloaderId = shared.config.Downloader_id;
  request.needStartFlag = 1;
  request.installPath = dir;
  request.installerLanguageCode = lang;
  request.productUrlLabel = "product_url_english";
  request.items = &items;
  ConsoleWindow window(dir, shared.config);
  const int result = InstallThreadFunc(request, shared, window);
  std::printf("install worker result %d\n", result);
  CSingleUserLog::GetInstance()->WaitThreadForExit();
  curl_global_cleanup();
  return result == 0 ? 0 : 1;
}
