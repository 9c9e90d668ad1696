#include "BannerFetch.h"

#include <json/json.h>

#include <chrono>
#include <exception>
#include <memory>
#include <thread>

#include "CLibcurlTool.h"
#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "FuntionImpl_Banner.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "platform/SafeNames.h"

namespace {

std::string MemberText(const Json::Value& item, const char* key) {
  const Json::Value& value = item[key];
  return value.isString() ? value.asString() : std::string();
}

int MemberSort(const Json::Value& item) {
  const Json::Value& value = item["sort"];
  return value.isInt() ? value.asInt() : -1;
}

// The "code" rule: any mention of the key "code" calls for a top-level
// object whose "code" is the integer 200.
bool CodeAccepted(const std::string& reply, const Json::Value& root) {
  if (reply.find("\"code\"") == std::string::npos) return true;
  if (!root.isObject()) return false;
  const Json::Value& code = root["code"];
  return code.isInt() && code.asInt() == 200;
}

std::int64_t SecondsSince(std::int64_t startMs) { return (TickCountMs() - startMs) / 1000; }

}  // namespace

bool ParseBannerReply(const std::string& reply, std::size_t maxBytes, std::vector<BannerRecord>& banners) {
  banners.clear();
  if (reply.size() > maxBytes) {
    QMLOG(" Get Cbs Ban fail: reply of " << reply.size() << " bytes is above " << maxBytes);
    return false;
  }
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  bool parsed = false;
  try {  // the reader throws past its nesting limit
    parsed = reader->parse(reply.data(), reply.data() + reply.size(), &root, &errors);
  } catch (const std::exception& e) {
    errors = e.what();
  }
  QMLOG(" Get Cbs Ban2: " << (parsed ? "1" : "0") << ", " << errors.size());
  if (!parsed || !errors.empty()) return false;
  if (!CodeAccepted(reply, root)) {
    QMLOG(" Get Cbs Ban fail: " << reply);
    return false;
  }
  if (!root.isArray()) return true;
  for (Json::ArrayIndex i = 0; i < root.size(); ++i) {
    const Json::Value& item = root[i];
    BannerRecord banner;
    if (item.isObject()) {
      banner.bannerUrl = MemberText(item, "banner_url");
      banner.jumpUrl = MemberText(item, "jump_url");
      banner.prompt = MemberText(item, "prompt");
      banner.sort = MemberSort(item);
    }
    banners.push_back(banner);
  }
  return true;
}

std::string BannerPicturePath(const std::string& workDir, int sort, const std::string& bannerUrl) {
  const std::size_t dot = bannerUrl.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : bannerUrl.substr(dot);
  // An extension of dots alone is no extension a picture has.
  const std::string name = std::to_string(sort) + ext;
  if (!platform::IsPlainFileName(name) || ext == "." || ext == "..") return {};
  const bool slash = !workDir.empty() && workDir.back() == '/';
  return workDir + (slash ? "" : "/") + name;
}

CBannerFetch::CBannerFetch(IBannerSink& sink, BannerFetchSettings settings)
    : sink_(sink), settings_(std::move(settings)) {}

int CBannerFetch::GetCbsBanner(int mainPid, int language) {
  QMLOG("get banner from server");
  const std::string url = FuntionImpl::GetBannerPicUrl(mainPid, language);
  return Run(url, CSingleUserLog::GetInstance()->GetWorkDir());
}

bool CBannerFetch::FetchList(const std::string& url, std::string& reply) {
  CLibcurlTool tool;
  for (int attempt = 1; attempt <= settings_.attempts && !Cancelled(); ++attempt) {
    const std::int64_t start = TickCountMs();
    const int result = settings_.get ? settings_.get(url, reply) : tool.httpGet(url, reply, false);
    CSingleUserLog::GetInstance()->AddUserLog_funnelEx("Download", "ObtainCarouselMapTime", "CarouselMapTimeInterval",
                                                       TimeBucketText(SecondsSince(start)), false);
    QMLOG(" Get Cbs Ban1: " << attempt << ", " << result << ", " << url.size() << ", " << reply.size());
    if (!reply.empty() && result == CURLE_OK) return true;
    if (attempt < settings_.attempts) std::this_thread::sleep_for(std::chrono::milliseconds(settings_.retryPauseMs));
  }
  return !reply.empty();
}

bool CBannerFetch::FetchPicture(const BannerRecord& listed, const std::string& workDir, int index, int count,
                                int& successes) {
  BannerRecord banner = listed;
  banner.localPath = BannerPicturePath(workDir, banner.sort, banner.bannerUrl);
  if (banner.localPath.empty()) {
    QMLOG(" Get Cbs Ban refused, extension leaves the folder: " << banner.bannerUrl);
    return false;
  }
  DownloadTimings timings = settings_.timings;
  timings.maxLengthBytes = settings_.maxPictureBytes;
  timings.cancel = settings_.cancel;
  for (int attempt = 1; attempt <= settings_.attempts && !Cancelled(); ++attempt) {
    QMLOG(" Get Cbs Ban4: " << index << "/" << count << ", " << attempt << "/" << settings_.attempts);
    const std::int64_t start = TickCountMs();
    std::string cdnReport;
    const int result = CDownLoadImpl(timings).SuperDownloadFile(banner.bannerUrl, banner.localPath, cdnReport, false);
    CSingleUserLog::GetInstance()->AddUserLog_funnelEx("Download", "DownloadCarouselImagesTime",
                                                       "DownloadCarouselImagesTimeInterval",
                                                       TimeBucketText(SecondsSince(start)), false);
    QMLOG(" Get Cbs Ban5: " << result);
    if (result != Completed) continue;
    if (sink_.LoadBannerPicture(banner.localPath)) {
      ++successes;
      QMLOG(" Get Cbs Ban " << successes << " Success");
      sink_.StoreBanner(banner);
      return true;
    }
    QMLOG(" Get Cbs Ban " << successes << " Fail");
  }
  return false;
}

int CBannerFetch::Run(const std::string& url, const std::string& workDir) {
  std::string reply;
  if (!FetchList(url, reply)) return 0;
  std::vector<BannerRecord> banners;
  if (!ParseBannerReply(reply, settings_.maxReplyBytes, banners)) return 0;
  const int count = static_cast<int>(banners.size());
  int successes = 0;
  for (int i = 0; i < count; ++i) {
    const BannerRecord& banner = banners[i];
    QMLOG(" Get Cbs Ban3: " << banner.bannerUrl.size() << ", " << i << "/" << count);
    if (banner.bannerUrl.empty()) continue;
    if (Cancelled()) break;
    FetchPicture(banner, workDir, i, count, successes);
  }
  if (count > 0 && successes == count) {
    QMLOG(" Get Banner success");
    sink_.BannerReady();
  }
  return successes;
}
