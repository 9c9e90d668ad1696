#pragma once
// A window stand-in for the install worker: records what the worker tells the
// window, owns the handshake it lends the worker, and fills the request from
// its public fields when Run starts the worker on the caller's thread. Its
// progress bar already shows 100, so the worker signals "ProgressFinish100"
// itself, as it does when the real window's animation has ended.
#include <mutex>
#include <utility>
#include <vector>

#include "EmbeddedConfig.h"
#include "InstallThreadFunc.h"

class RecordingInstallWindow : public IInstallObserver {
 public:
  explicit RecordingInstallWindow(const std::string& embeddedXml);

  // Runs the install worker for this window.
  int Run(const InstallWorkerOptions& options = {});

  void PostWorkerMessage(int message, std::intptr_t wParam) override;
  void SetAdviceUrl(const std::string& url) override;
  void SetStopProgressCreep(int value) override { stopProgressCreep = value; }
  void SetInstallFinished(bool value) override { installFinished = value; }
  int InstallProgressValue() const override { return 100; }
  void OnDownloadProgress(std::int64_t done, std::int64_t total) override;
  void WriteProductLanguage() override { ++languageWrites; }
  void OpenUrl(const std::string& url) override;
  void ClickStartApp() override { ++startClicks; }
  void CloseWindow() override { ++closes; }
  void ReleaseInstanceLock() override {}

  std::string AdviceUrl() const;
  std::vector<std::pair<int, std::intptr_t>> Messages() const;
  std::vector<int> MessageIds() const;

  InstallHandshake shared;
  CConfigure& config;
  std::atomic<int> stopProgressCreep{-1};
  std::atomic<bool> installFinished{false};
  std::string installPath;
  int needStart = 0;
  std::atomic<int> languageWrites{0}, startClicks{0}, closes{0};
  // The window closes as the worker posts this message (0: never).
  int closeAtMessage = 0;
  // The window closes at the first downloaded bytes (the download's own stop).
  bool closeOnProgress = false;
  std::vector<std::string> openedUrls;
  // The telemetry queue lent to the worker (null: the process's).
  CSingleUserLog* userLog = nullptr;

 private:
  EmbeddedConfigItems items_;
  mutable std::mutex mutex_;
  std::vector<std::pair<int, std::intptr_t>> messages_;
  std::string adviceUrl_;
};
