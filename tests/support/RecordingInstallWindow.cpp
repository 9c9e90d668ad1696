#include "support/RecordingInstallWindow.h"

RecordingInstallWindow::RecordingInstallWindow(const std::string& embeddedXml) : items_(embeddedXml) {}

void RecordingInstallWindow::PostWorkerMessage(int message, std::intptr_t wParam) {
  if (closeAtMessage != 0 && message == closeAtMessage) closed = true;
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
  if (packageSize == 0) packageSize = total;
  if (closeOnProgress && done > 0) closeSignal->store(true);
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
