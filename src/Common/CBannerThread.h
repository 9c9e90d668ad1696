#pragma once
// The main window's banner thread: runs the banner fetch (CBannerFetch) on
// its own thread, loads each picture into the image cache, keeps the banner
// records by sort, and posts message 2952 to the window when every listed
// picture is ready. The window reads the records only after 2952.
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "BannerFetch.h"

namespace ui {
class WindowImplBase;
}

class CBannerThread : public IBannerSink {
 public:
  static constexpr int kMsgBannerReady = 2952;

  explicit CBannerThread(ui::WindowImplBase* window, BannerFetchSettings settings = {});
  ~CBannerThread() override;  // joins
  CBannerThread(const CBannerThread&) = delete;
  CBannerThread& operator=(const CBannerThread&) = delete;

  // Starts GetCbsBanner for the product and language; false while an earlier
  // run is still going.
  bool Start(int mainPid, int language);
  // The same against a given list URL and work folder (tests, tools).
  bool StartWith(const std::string& url, const std::string& workDir);
  bool Running() const;
  // The window closes: the run in progress stops (its picture download
  // included) and no later Start begins one.
  void Cancel();
  // Waits for the thread (the window's exit sequence).
  void Join();

  std::map<int, BannerRecord> Banners() const;
  // The extension of the picture with sort 1 (".png"), empty without one.
  std::string FirstBannerExtension() const;
  int LastResult() const;  // pictures loaded by the last run

  // IBannerSink, called on the banner thread.
  bool LoadBannerPicture(const std::string& path) override;
  void StoreBanner(const BannerRecord& record) override;
  void BannerReady() override;

 private:
  template <typename Body>
  bool Launch(Body body);

  ui::WindowImplBase* window_;
  BannerFetchSettings settings_;
  mutable std::mutex mutex_;
  std::map<int, BannerRecord> banners_;
  std::thread thread_;
  bool running_ = false;
  int lastResult_ = 0;
};
