#include <gtest/gtest.h>

#include "HttpHeaderText.h"

namespace {

TEST(HttpHeaderText, StatusLines) {
  const std::pair<const char*, int> cases[] = {
      {"HTTP/1.1 206 Partial Content\r\n", 206},
      {"HTTP/2 200\r\n", 200},
      {"HTTP/1.0 404 Not Found", 404},
      {"Content-Range: bytes 0-1/2\r\n", 0},
      {"HTTP/1.1\r\n", 0},
      {"\r\n", 0},
  };
  for (const auto& [line, status] : cases) EXPECT_EQ(StatusOfLine(line), status) << line;
}

TEST(HttpHeaderText, CloudflareHeadersFoldIntoTheSliceCdnStatus) {
  const struct {
    const char* what;
    std::string before;
    std::string atStart;
    std::vector<const char*> lines;
    std::string after;
  } cases[] = {
      {"ray then cache", "", "", {"CF-RAY: 8a1b2c3d4e5f6a7b-LHR\r\n", "CF-Cache-Status: HIT\r\n"}, "LHR/HIT"},
      {"cache then ray", "", "", {"CF-Cache-Status: HIT\r\n", "CF-RAY: 8a1b2c3d4e5f6a7b-LHR\r\n"}, "LHR/HIT"},
      {"lower case (HTTP/2)", "", "", {"cf-ray: 77-FRA\r\n", "cf-cache-status: MISS\r\n"}, "FRA/MISS"},
      {"no CDN headers", "old", "", {"Server: nginx\r\n", "Content-Length: 5\r\n"}, "old"},
      {"equal to the result at start is cleared", "", "LHR/HIT", {"CF-RAY: 1-LHR\r\n", "CF-Cache-Status: HIT\r\n"}, ""},
  };
  for (const auto& c : cases) {
    std::string status = c.before;
    for (const char* line : c.lines) UpdateCdnStatus(status, c.atStart, line);
    EXPECT_EQ(status, c.after) << c.what;
  }
}

TEST(HttpHeaderText, ContentRangeTotalAgainstTheExpectedLength) {
  EXPECT_EQ(CheckRangeTotal("Content-Range: bytes 0-9/100\r\n", 100), RangeTotalCheck::Matches);
  EXPECT_EQ(CheckRangeTotal("content-range: bytes 0-9/100\r\n", 100), RangeTotalCheck::Matches);
  EXPECT_EQ(CheckRangeTotal("Content-Range: bytes 0-9/101\r\n", 100), RangeTotalCheck::Differs);
  EXPECT_EQ(CheckRangeTotal("Content-Range: bytes 0-9\r\n", 100), RangeTotalCheck::NoTotal);
  EXPECT_EQ(CheckRangeTotal("Content-Length: 100\r\n", 5), RangeTotalCheck::NotContentRange);
}

TEST(HttpHeaderText, OnlyTheAskedForRangeIsAcceptable) {
  const struct {
    const char* what;
    std::vector<const char*> lines;
    std::int64_t asked;
    bool acceptable;
  } cases[] = {
      {"206 at the asked start", {"HTTP/1.1 206 Partial Content\r\n", "Content-Range: bytes 100-199/1000\r\n"}, 100, true},
      {"206 elsewhere", {"HTTP/1.1 206 Partial Content\r\n", "Content-Range: bytes 0-99/1000\r\n"}, 100, false},
      {"206 without Content-Range", {"HTTP/1.1 206 Partial Content\r\n"}, 100, false},
      {"200 for a range from 0", {"HTTP/1.1 200 OK\r\n"}, 0, true},
      {"200 ignoring a later range", {"HTTP/1.1 200 OK\r\n"}, 100, false},
      {"error page", {"HTTP/1.1 404 Not Found\r\n"}, 0, false},
      {"server error", {"HTTP/1.1 500 Internal Server Error\r\n"}, 0, false},
      {"redirect hop then 206", {"HTTP/1.1 302 Found\r\n", "Content-Range: bytes 0-1/2\r\n", "HTTP/1.1 206 x\r\n", "Content-Range: bytes 5-9/10\r\n"}, 5, true},
      {"206 hop then error", {"HTTP/1.1 206 x\r\n", "Content-Range: bytes 5-9/10\r\n", "HTTP/1.1 500 x\r\n"}, 5, false},
  };
  for (const auto& c : cases) {
    RangeReply reply;
    for (const char* line : c.lines) RangeReplyOnLine(reply, line);
    EXPECT_EQ(RangeReplyAcceptable(reply, c.asked), c.acceptable) << c.what;
  }
}

TEST(HttpHeaderText, ProbeLengthAndCdn) {
  EXPECT_EQ(LengthFromProbeHeaders("HTTP/1.1 200 OK\r\nContent-Length: 10485760\r\n\r\n"), 10485760);
  EXPECT_EQ(LengthFromProbeHeaders("HTTP/2 200\r\ncontent-length: 3000000000\r\n\r\n"), 3000000000LL);
  EXPECT_EQ(LengthFromProbeHeaders("HTTP/1.1 200 OK\r\nContent-Range: bytes 0-0/77\r\nContent-Length: 1\r\n"), 77);
  EXPECT_EQ(LengthFromProbeHeaders("HTTP/1.1 200 OK\r\nServer: x\r\n"), 0);

  const ProbeCdn cf = FindProbeCdn("HTTP/1.1 200 OK\r\nCF-Cache-Status: HIT\r\nCF-RAY: 8a1b-SIN\r\nX-Cache: Miss\r\n");
  EXPECT_TRUE(cf.cloudflare);
  EXPECT_EQ(cf.cacheStatus, " HIT");
  EXPECT_EQ(cf.dataCentre, "SIN");
  const ProbeCdn x = FindProbeCdn("HTTP/1.1 200 OK\r\nX-Cache: Hit from cloudfront\r\n");
  EXPECT_FALSE(x.cloudflare);
  EXPECT_TRUE(x.xCache);
  EXPECT_EQ(x.xCacheValue, "Hit from cloudfront");
  EXPECT_FALSE(FindProbeCdn("HTTP/1.1 200 OK\r\nContent-Location: /x\r\n").xCache);
}

TEST(HttpHeaderText, ValidatorsOfTheFinalHopAndTheirUse) {
  // A redirect hop's own ETag is not the file's.
  const Validators probed = FinalHopValidators(
      "HTTP/1.1 302 Found\r\nETag: \"hop\"\r\nLocation: /b\r\n\r\n"
      "HTTP/1.1 200 OK\r\nETag: \"v1\"\r\nLast-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n\r\n");
  EXPECT_EQ(probed.etag, "\"v1\"");
  EXPECT_EQ(probed.lastModified, "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(IfRangeValue(probed), "\"v1\"");
  EXPECT_EQ(IfRangeValue({"W/\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT"}), "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(IfRangeValue({"W/\"v1\"", ""}), "");
  // An oversized validator is never echoed.
  EXPECT_TRUE(FinalHopValidators("HTTP/1.1 200 OK\r\nETag: \"" + std::string(300, 'a') + "\"\r\n").empty());

  const struct {
    const char* what;
    Validators reply;
    bool differ;
  } cases[] = {
      {"same etag", {"\"v1\"", ""}, false},
      {"other etag", {"\"v2\"", ""}, true},
      {"no validators", {"", ""}, false},
      {"other date only", {"", "Wed, 02 Dec 2026 10:00:00 GMT"}, true},
      {"same etag, other date", {"\"v1\"", "Wed, 02 Dec 2026 10:00:00 GMT"}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(ValidatorsDiffer(probed, c.reply), c.differ) << c.what;

  RangeReply reply;
  for (const char* line : {"HTTP/1.1 206 x\r\n", "ETag: \"v2\"\r\n", "\r\n"}) RangeReplyOnLine(reply, line);
  EXPECT_EQ(reply.validators.etag, "\"v2\"");
  EXPECT_TRUE(reply.headersEnded);
}

}  // namespace
