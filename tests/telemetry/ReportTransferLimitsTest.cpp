// The reporting module's HTTP clients hold to the same limits as the engine:
// http and https only on every hop, a bounded redirect chain, and at most
// 1 MiB of reply in memory, counted after decoding.
#include <gtest/gtest.h>

#include "CurlHttpClient.h"
#include "HttpGetText.h"
#include "support/PeakMemoryGrowth.h"
#include "support/RawHttpServer.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

constexpr std::int64_t MiB = 1048576;

// Both clients' GET: the libcurl code of CurlHttpClient and the result of
// HttpGetText, with the text each kept.
struct Outcomes {
  int client = -1;
  std::string clientText;
  int getText = 0;
  std::string getTextText;
};

Outcomes GetWithBoth(const std::string& url) {
  Outcomes o;
  CurlHttpClient client;
  o.client = client.Get(url, "Accept: */*");
  o.clientText = client.GetResponse();
  o.getText = HttpGetText(url, o.getTextText);
  return o;
}

}  // namespace

TEST(ReportTransferLimits, OnlyHttpAndHttpsOnEveryHop) {
  TestHttpServer server;
  TempDir dir;
  dir.Write("secret.txt", "local file content");
  const std::string local = "file://" + dir / "secret.txt";
  const std::string ftp = "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x";
  server.Redirect("/to-file", local);
  server.Redirect("/to-ftp", ftp);
  server.Redirect("/to-dict", "dict://127.0.0.1:" + std::to_string(server.port()) + "/x", 307);
  for (const std::string& url : {local, ftp, server.Url("/to-file"), server.Url("/to-ftp"), server.Url("/to-dict")}) {
    const Outcomes o = GetWithBoth(url);
    EXPECT_EQ(o.client, CURLE_UNSUPPORTED_PROTOCOL) << url;
    EXPECT_EQ(o.clientText, "") << url;
    EXPECT_EQ(o.getText, -1) << url;
    EXPECT_EQ(o.getTextText, "") << url;
  }
  // Posts follow redirects as well (any method gets the same answer here).
  for (const std::string& target : {local, ftp}) {
    RawHttpServer redirecting("HTTP/1.1 302 Found\r\nLocation: " + target + "\r\nContent-Length: 0", "", 0);
    for (const std::string& url : {target, redirecting.Url("/collect")}) {
      CurlHttpClient client;
      EXPECT_EQ(client.Post(url, "Content-Type: application/json", "{}"), CURLE_UNSUPPORTED_PROTOCOL) << url;
    }
  }
}

TEST(ReportTransferLimits, EndlessRedirectsEndAtTheLimit) {
  TestHttpServer server;
  server.Redirect("/a", server.Url("/b"));
  server.Redirect("/b", server.Url("/a"));
  const Outcomes o = GetWithBoth(server.Url("/a"));
  EXPECT_EQ(o.client, CURLE_TOO_MANY_REDIRECTS);
  EXPECT_EQ(o.getText, -1);
  RawHttpServer toItself("HTTP/1.1 307 Temporary Redirect\r\nLocation: /collect\r\nContent-Length: 0", "", 0);
  CurlHttpClient client;
  EXPECT_EQ(client.Post(toItself.Url("/collect"), "Content-Type: application/json", "{}"), CURLE_TOO_MANY_REDIRECTS);
  EXPECT_EQ(toItself.Requests(), 6);  // the request and five redirects
}

TEST(ReportTransferLimits, RepliesStopAtOneMebibyteAfterDecoding) {
  const std::string chunk(65536, 'x');
  for (const auto& c : OversizedReplies(chunk)) {
    RawHttpServer server(c.head, c.body, c.bytes);
    const PeakMemoryGrowth memory;
    const Outcomes o = GetWithBoth(server.Url("/user"));
    EXPECT_TRUE(o.client == CURLE_WRITE_ERROR || o.client == CURLE_FILESIZE_EXCEEDED) << c.what << ": " << o.client;
    EXPECT_EQ(o.clientText, "") << c.what;
    EXPECT_EQ(o.getText, -1) << c.what;
    EXPECT_EQ(o.getTextText, "") << c.what;
    EXPECT_LT(memory.Bytes(), 64 * MiB) << c.what;
    EXPECT_LT(server.BytesSent(), 64 * MiB) << c.what;
  }
}
