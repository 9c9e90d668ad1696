#pragma once
// A window stand-in for the install worker: records what the worker posts and
// asks, and answers with fixed values. Its progress bar already shows 100, so
// the worker signals "ProgressFinish100" itself, as it does when the real
// window's animation has ended.
#include <mutex>
#include <utility>
#include <vector>

#include "EmbeddedConfig.h"
#include "InstallWindow.h"

class RecordingInstallWindow : public IInstallWindow {
 public:
  explicit RecordingInstallWindow(const std::string& embeddedXml);

  void PostWorkerMessage(int message, std::intptr_t wParam) override;
  CConfigure& Config() override { return config; }
  const IConfigItemSource& ConfigItems() const override { return items_; }
  std::atomic<bool>& AsyncQueryAbandoned() override { return abandoned; }
  bool IsRetry() const override { return false; }
  void SetAdviceUrl(const std::string& url) override;
  std::string AdviceUrl() const override;
  int DownloaderId() const override { return config.Downloader_id; }
  int NeedStartFlag() const override { return needStart; }
  void SetStopProgressCreep(int value) override { stopProgressCreep = value; }
  void SetInstallFinished(bool value) override { installFinished = value; }
  platform::Event& ProgressFinishEvent() override { return progressFinished; }
  int InstallProgressValue() const override { return 100; }
  std::string GetInstallPath() const override { return installPath; }
  std::string InstallerLanguageCode() const override { return "en"; }
  std::string ProductUrlLabel() const override { return "product_url_english"; }
  void WriteProductLanguage() override { ++languageWrites; }
  void ResetDownloadProgress() override { packageSize = 0; }
  void OnDownloadProgress(std::int64_t done, std::int64_t total) override;
  std::int64_t RecordedPackageSize() const override { return packageSize; }
  void OpenUrl(const std::string& url) override;
  void ClickStartApp() override { ++startClicks; }
  void CloseWindow() override { ++closes; }
  void ReleaseInstanceLock() override {}
  bool WindowClosed() const override { return closed || closeSignal->load(); }
  std::shared_ptr<const std::atomic<bool>> CloseSignal() const override { return closeSignal; }

  std::vector<std::pair<int, std::intptr_t>> Messages() const;
  std::vector<int> MessageIds() const;

  CConfigure config{127, 1033, 61};
  std::atomic<bool> abandoned{false};
  std::atomic<int> stopProgressCreep{-1};
  std::atomic<bool> installFinished{false};
  platform::Event progressFinished{true, false};
  std::string installPath;
  int needStart = 0;
  std::atomic<int> languageWrites{0}, startClicks{0}, closes{0};
  // The window closes as the worker posts this message (0: never).
  int closeAtMessage = 0;
  std::atomic<bool> closed{false};
  // The window closes at the first downloaded bytes (the download's own stop).
  bool closeOnProgress = false;
  std::shared_ptr<std::atomic<bool>> closeSignal = std::make_shared<std::atomic<bool>>(false);
  std::atomic<std::int64_t> packageSize{0};
  std::vector<std::string> openedUrls;

 private:
  EmbeddedConfigItems items_;
  mutable std::mutex mutex_;
  std::vector<std::pair<int, std::intptr_t>> messages_;
  std::string adviceUrl_;
};
