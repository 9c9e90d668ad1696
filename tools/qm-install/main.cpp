// qm-install: the install flow without a window. It reads the embedded
// configuration, runs the install worker against the configured services and
// prints what the worker tells the window.
//   qm-install [--dir INSTALL_DIR] [--lang CODE]
#include <cstdio>
#include <ctime>
#include <mutex>
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

// Stands in for the main window: prints each message, shows progress as a
// line, and lets the progress animation end at once.
class ConsoleWindow : public IInstallWindow {
 public:
  ConsoleWindow(const EmbeddedConfigItems& items, std::string installDir, std::string lang)
      : items_(items), installDir_(std::move(installDir)), lang_(std::move(lang)) {
    config_.loadFromLayout(items_, false);
  }
  void PostWorkerMessage(int message, std::intptr_t wParam) override {
    std::printf("\nwindow message %d (%ld)\n", message, static_cast<long>(wParam));
    std::fflush(stdout);
  }
  CConfigure& Config() override { return config_; }
  const IConfigItemSource& ConfigItems() const override { return items_; }
  std::atomic<bool>& AsyncQueryAbandoned() override { return abandoned_; }
  bool IsRetry() const override { return false; }
  void SetAdviceUrl(const std::string& url) override {
    std::lock_guard<std::mutex> lock(mutex_);
    adviceUrl_ = url;
  }
  std::string AdviceUrl() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return adviceUrl_;
  }
  int DownloaderId() const override { return config_.Downloader_id; }
  int NeedStartFlag() const override { return 1; }
  void SetStopProgressCreep(int) override {}
  void SetInstallFinished(bool) override {}
  platform::Event& ProgressFinishEvent() override { return progressFinished_; }
  int InstallProgressValue() const override { return 100; }
  std::string GetInstallPath() const override { return installDir_; }
  std::string InstallerLanguageCode() const override { return lang_; }
  std::string ProductUrlLabel() const override { return "product_url_english"; }
  void WriteProductLanguage() override {}
  void ResetDownloadProgress() override { size_ = 0; }
  void OnDownloadProgress(std::int64_t done, std::int64_t total) override {
    if (size_ == 0) size_ = total;
    std::printf("\rdownloaded %lld of %lld bytes", static_cast<long long>(done), static_cast<long long>(total));
    std::fflush(stdout);
  }
  std::int64_t RecordedPackageSize() const override { return size_; }
  void OpenUrl(const std::string& url) override { std::printf("would open %s\n", url.c_str()); }
  void ClickStartApp() override {
    std::printf("product installed in %s (start it with \"%s/%s\")\n", installDir_.c_str(), installDir_.c_str(),
                config_.Process_name.c_str());
  }
  void CloseWindow() override {}
  void ReleaseInstanceLock() override {}

 private:
  const EmbeddedConfigItems& items_;
  CConfigure config_{0, 0, 0};
  std::atomic<bool> abandoned_{false};
  platform::Event progressFinished_{true, false};
  std::string installDir_, lang_;
  mutable std::mutex mutex_;
  std::string adviceUrl_;
  std::atomic<std::int64_t> size_{0};
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
  ConsoleWindow window(items, dir, lang);
  const int result = InstallThreadFunc(window);
  std::printf("install worker result %d\n", result);
  CSingleUserLog::GetInstance()->WaitThreadForExit();
  curl_global_cleanup();
  return result == 0 ? 0 : 1;
}
