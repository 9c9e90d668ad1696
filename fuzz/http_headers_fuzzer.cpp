// Raw response headers as libcurl hands them over: line by line to a ranged
// GET, and as one joined text to a length probe; the Location of a redirect.
#include <cstdint>
#include <string>
#include <string_view>

#include "CLibcurlTool.h"
#include "FuzzSupport.h"
#include "HttpHeaderText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

namespace {

void FeedLines(std::string_view headers) {
  RangeReply reply;
  std::string cdnStatus;
  std::size_t begin = 0;
  while (begin < headers.size()) {
    std::size_t end = headers.find('\n', begin);
    end = end == std::string_view::npos ? headers.size() : end + 1;
    const std::string_view line = headers.substr(begin, end - begin);
    begin = end;
    StatusOfLine(line);
    if (HeaderNameIs(line, "Content-Length")) ParseDecimal64(HeaderRawValue(line));
    if (HeaderNameIs(line, "Content-Range")) ParseContentRange(TrimBlanks(HeaderRawValue(line)));
    UpdateCdnStatus(cdnStatus, "", line);
    UpdateCdnStatus(cdnStatus, " HIT", line);
    CheckRangeTotal(line, 4194304);
    CheckRangeTotal(line, -1);
    RangeReplyOnLine(reply, line);
  }
  for (const std::int64_t start : {std::int64_t{0}, std::int64_t{4194304}, INT64_MAX}) {
    RangeReplyAcceptable(reply, start);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view headers(reinterpret_cast<const char*>(data), size);
  FeedLines(headers);
  FindProbeCdn(headers);
  LengthFromProbeHeaders(headers);
  bool found = false;
  const std::string location(TrimBlanks(FindHeaderRaw(headers, "Location", &found)));
  if (found) ResolveLocation("http://127.0.0.1:8080/dir/package.exe", location);
  return 0;
}
