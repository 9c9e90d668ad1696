#include "support/RecordingInstallWindow.h"

RecordingInstallWindow::RecordingInstallWindow(const std::string& embeddedXml)
    : config(shared.config), items_(embeddedXml) {
  config = CConfigure{127, 1033, 61};
}

int RecordingInstallWindow::Run(const InstallWorkerOptions& options) {
  InstallRequest request;
  request.downloaderId = config.Downloader_id;
  request.needStartFlag = needStart;
  request.installPath = installPath;
  request.installerLanguageCode = "en";
  request.productUrlLabel = "product_url_english";
  request.items = &items_;
  request.userLog = userLog;
  return InstallThreadFunc(request, shared, *this, options);
}

void RecordingInstallWindow::PostWorkerMessage(int message, std::intptr_t wParam) {
  if (closeAtMessage != 0 && message == closeAtMessage) shared.Close();
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.emplace_back(message, wParam);
}

void RecordingInstallWindow::SetAdviceUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  adviceUrl_ = url;
}

std::string RecordingInstallWindow::AdviceUrl() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return adviceUrl_;
}

void RecordingInstallWindow::OnDownloadProgress(std::int64_t done, std::int64_t total) {
  (void)total;
  if (closeOnProgress && done > 0) shared.Close();
}

void RecordingInstallWindow::OpenUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  openedUrls.push_back(url);
}

std::vector<std::pair<int, std::intptr_t>> RecordingInstallWindow::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::vector<int> RecordingInstallWindow::MessageIds() const {
  std::vector<int> ids;
  for (const auto& [id, wParam] : Messages()) ids.push_back(id);
  return ids;
}
