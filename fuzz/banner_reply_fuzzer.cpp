// The banner service's list reply, and the picture paths made from it.
#include <cstdint>
#include <string>
#include <vector>

#include "BannerFetch.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  std::vector<BannerRecord> banners;
  if (!ParseBannerReply(reply, 1 << 20, banners)) return 0;
  for (const BannerRecord& banner : banners) {
    const std::string path = BannerPicturePath("/work", banner.sort, banner.bannerUrl);
    // A path that leaves the work folder is a fault of the rules.
    if (!path.empty() && (path.rfind("/work/", 0) != 0 || path.find('/', 6) != std::string::npos)) __builtin_trap();
  }
  return 0;
}
