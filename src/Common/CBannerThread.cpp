#include "Common/CBannerThread.h"

#include "platform/ThreadStart.h"
#include "ui/ImageCache.h"
#include "ui/WindowImplBase.h"

CBannerThread::CBannerThread(ui::WindowImplBase* window, BannerFetchSettings settings)
    : window_(window), settings_(std::move(settings)) {
  if (!settings_.cancel) settings_.cancel = std::make_shared<std::atomic<bool>>(false);
}

CBannerThread::~CBannerThread() { Join(); }

template <typename Body>
bool CBannerThread::Launch(Body body) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (running_ || settings_.cancel->load()) return false;
  if (thread_.joinable()) thread_.join();  // an earlier run that has ended
  running_ = true;
  thread_ = platform::StartThread([this, body] {
    CBannerFetch fetch(*this, settings_);
    const int loaded = body(fetch);
    std::lock_guard<std::mutex> done(mutex_);
    lastResult_ = loaded;
    running_ = false;
  });
  return true;
}

bool CBannerThread::Start(int mainPid, int language) {
  return Launch([mainPid, language](CBannerFetch& fetch) { return fetch.GetCbsBanner(mainPid, language); });
}

bool CBannerThread::StartWith(const std::string& url, const std::string& workDir) {
  return Launch([url, workDir](CBannerFetch& fetch) { return fetch.Run(url, workDir); });
}

void CBannerThread::Cancel() { settings_.cancel->store(true); }

bool CBannerThread::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

void CBannerThread::Join() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    thread = std::move(thread_);
  }
  if (thread.joinable()) thread.join();
}

std::map<int, BannerRecord> CBannerThread::Banners() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return banners_;
}

std::string CBannerThread::FirstBannerExtension() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = banners_.find(1);
  if (it == banners_.end()) return {};
  const std::string& path = it->second.localPath;
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
}

int CBannerThread::LastResult() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastResult_;
}

bool CBannerThread::LoadBannerPicture(const std::string& path) {
  const QString name = QString::fromStdString(path);
  ui::ImageCache::Instance().Remove(name);  // a picture of an earlier run is read afresh
  return ui::ImageCache::Instance().Load(name);
}

void CBannerThread::StoreBanner(const BannerRecord& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  banners_[record.sort] = record;
}

void CBannerThread::BannerReady() { ui::WindowImplBase::PostMessage(window_, kMsgBannerReady, 0, 0); }
