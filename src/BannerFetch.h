#pragma once
// The banner thread's work: fetch the banner list from the banner service,
// download each picture into the work folder under its position ("2.png"),
// have the window load it, and tell the window when every picture is ready.
// Blocking; meant for its own thread. Nothing here touches a window: what the
// window must do goes through IBannerSink, whose calls come from the fetching
// thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <functional>
#include <string>
#include <vector>

#include "DownloadTimings.h"

// One picture of the carousel as the service lists it.
struct BannerRecord {
  std::string bannerUrl;
  std::string jumpUrl;
  std::string prompt;
  std::string localPath;  // where the picture was saved
  int sort = -1;          // 1-based position; -1 when the reply has none
};

class IBannerSink {
 public:
  virtual ~IBannerSink() = default;
  // Loads the picture file into the image cache (afresh); false when it
  // cannot be read or decoded.
  virtual bool LoadBannerPicture(const std::string& path) = 0;
  // Keeps the record under its sort, replacing an earlier one.
  virtual void StoreBanner(const BannerRecord& record) = 0;
  // Every listed picture is loaded: the window's message 2952.
  virtual void BannerReady() = 0;
};

struct BannerFetchSettings {
  int attempts = 3;                        // list fetches, and downloads per picture
  int retryPauseMs = 100;                  // between list fetches
  std::size_t maxReplyBytes = 1 << 20;     // a longer list reply is refused
  DownloadTimings timings;                 // of the picture downloads
  std::int64_t maxPictureBytes = 8 << 20;  // a picture probed longer fails without a byte fetched
  // Once set (the window closed), no list or picture fetch starts and a
  // picture download in progress stops.
  std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
  // Small GET of the list; empty: one CLibcurlTool's httpGet. Returns a
  // CURLcode value.
  std::function<int(const std::string& url, std::string& body)> get;
};

// The list of a reply, or false when the reply is refused: not JSON, a
// "code" other than 200 (whenever the key "code" appears in the text), or
// longer than maxBytes. A reply whose top level is not an array lists
// nothing. Logs " Get Cbs Ban2: " and " Get Cbs Ban fail: " as it decides.
bool ParseBannerReply(const std::string& reply, std::size_t maxBytes, std::vector<BannerRecord>& banners);

// workDir + "/" + sort + the URL's extension (its text from the last "."),
// or empty when that extension would leave the folder (a path separator) or
// carries control characters.
std::string BannerPicturePath(const std::string& workDir, int sort, const std::string& bannerUrl);

class CBannerFetch {
 public:
  explicit CBannerFetch(IBannerSink& sink, BannerFetchSettings settings = {});

  // The whole banner thread: the signed URL for the product and language,
  // the fetch into the telemetry's work folder. Returns the pictures loaded.
  int GetCbsBanner(int mainPid, int language);
  // Fetches url and saves the pictures into workDir. Calls BannerReady when
  // the list has at least one element and every element's picture loaded.
  // Returns the pictures loaded.
  int Run(const std::string& url, const std::string& workDir);

 private:
  bool FetchList(const std::string& url, std::string& reply);
  bool Cancelled() const { return settings_.cancel && settings_.cancel->load(); }
  bool FetchPicture(const BannerRecord& banner, const std::string& workDir, int index, int count, int& successes);

  IBannerSink& sink_;
  BannerFetchSettings settings_;
};
