// What no server can make the transfer layer do: leave http(s) on any hop,
// follow redirects without end, hold an unbounded reply in memory, or slice
// a length no disk here could hold.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>

#include "CDownloadTaskManager.h"
#include "CDownloadThread.h"
#include "CLibcurlTool.h"
#include "CTask.h"
#include "EngineFixture.h"
#include "support/PeakMemoryGrowth.h"
#include "support/RawHttpServer.h"
#include "support/ScopedTestProcess.h"
#include "support/TestHttpServer.h"

namespace {

constexpr std::int64_t MiB = 1048576;
constexpr std::int64_t kMemoryBound = 64 * MiB;

class TransferLimitsTest : public EngineTest {
 protected:
  // One worker step of a 64 KiB slice from url into a package of 'E' bytes;
  // the package afterwards.
  std::string RangedGet(const std::string& url) {
    const std::string package = dir_ / "package.bin";
    std::FILE* file = std::fopen(package.c_str(), "wb+");
    const std::string fill(65536, 'E');
    std::fwrite(fill.data(), 1, fill.size(), file);
    std::fflush(file);
    CTask task;
    task.StartPos = 0;
    task.EndPos = 65536;
    task.DownloadedPos = 0;
    task.ContentLength = 65536;
    task.TaskId = 1;
    task.LogFlag = 1;
    task.RemotePath = url;
    task.TaskStatus = kTaskHandedOut;
    std::timed_mutex mutex;
    CDownloadThread worker(&mutex, file, FastTimings());
    worker.doTask(&task);
    worker.taskBusiness();
    std::fclose(file);
    EXPECT_EQ(task.TaskStatus.load(), kTaskFailed) << url;
    return ReadFile(package);
  }

  // Where the log ends now; Logged looks only after it.
  std::size_t LogMark() const { return log_.Text().size(); }
  bool Logged(std::size_t mark, const std::string& text) const {
    return log_.Text().find(text, mark) != std::string::npos;
  }
};

}  // namespace

TEST_F(TransferLimitsTest, EveryOperationSpeaksOnlyHttpAndHttpsOnEveryHop) {
  TestHttpServer server;
  dir_.Write("secret.txt", "local file content");
  const std::string local = "file://" + dir_ / "secret.txt";
  const std::string ftp = "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x";
  const std::string gopher = "gopher://127.0.0.1:" + std::to_string(server.port()) + "/x";
  ScopedTestProcess process;
  const std::string toLocal = UniquePath("to-file");
  const std::string toFtp = UniquePath("to-ftp");
  const std::string toGopher = UniquePath("to-gopher");
  server.Redirect(toLocal, local);
  server.Redirect(toFtp, ftp);
  server.Redirect(toGopher, gopher, 301);
  const struct {
    std::string url;
    bool redirected;
  } cases[] = {{local, false}, {ftp, false}, {server.Url(toLocal), true}, {server.Url(toFtp), true}, {server.Url(toGopher), true}};
  for (const auto& c : cases) {
    CLibcurlTool tool(FastTimings());
    std::string body;
    EXPECT_EQ(tool.httpGet(c.url, body, false), CURLE_UNSUPPORTED_PROTOCOL) << c.url;
    EXPECT_EQ(body.find("local file content"), std::string::npos) << c.url;
    std::string headers;
    long status = 0;
    EXPECT_EQ(tool.httpGetHeaders(c.url, headers, status), CURLE_UNSUPPORTED_PROTOCOL) << c.url;
    const std::size_t mark = LogMark();
    EXPECT_EQ(RangedGet(c.url), std::string(65536, 'E')) << c.url;
    EXPECT_TRUE(Logged(mark, "download fail(1)")) << c.url;
    if (!c.redirected) {
      std::string response;
      EXPECT_EQ(CLibcurlTool::HttpPost(c.url, "a=1", response, ""), CURLE_UNSUPPORTED_PROTOCOL) << c.url;
      process.LogUploadEndpoint(c.url);
      EXPECT_EQ(UploadLogFile(dir_ / "secret.txt", "", "1", "1.0", ""), -3) << c.url;
    }
  }
}

TEST_F(TransferLimitsTest, LengthProbeNeverLeavesHttp) {
  TestHttpServer server;
  const std::string viaRedirect = UniquePath("redirect");
  server.Redirect(viaRedirect, "file://" + dir_ / "package.bin");
  // A 200 whose Location the probe would follow by itself.
  const std::string viaLocation = UniquePath("location");
  ServeOptions options;
  options.extraHeaders = {{"Location", "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x"}};
  server.ServeBytes(viaLocation, "x", options);
  for (const std::string& path : {viaRedirect, viaLocation}) {
    CDownloadTaskManager manager(server.Url(path), dir_ / "package.bin", dir_ / "package.bin.xml", FastTimings());
    EXPECT_EQ(manager.generateDownloadTask("Download", 1), GetLengthFailed) << path;
    EXPECT_TRUE(manager.allTasks().empty()) << path;
  }
}

// A server that sends its headers a byte at a time holds no probe for long:
// below the low-speed limit a probe ends after that limit's time, above it at
// the probe's deadline, and the round starts no new probe after its budget.
TEST_F(TransferLimitsTest, TrickledHeadersEndTheLengthProbesInTime) {
  const struct {
    const char* what;
    int bytesPerSecond;
  } rows[] = {{"below the low-speed limit", 8}, {"above it, never ending", 400}};
  for (const auto& row : rows) {
    RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 1048576", "", 0);
    server.TrickleHeadForEver(row.bytesPerSecond);
    DownloadTimings timings = FastTimings();
    timings.probeTimeoutMs = 2000;
    timings.probeLowSpeedMs = 1000;
    timings.probeBudgetMs = 2500;
    const std::size_t mark = LogMark();
    const auto start = std::chrono::steady_clock::now();
    CDownloadTaskManager manager(server.Url("/p.exe"), dir_ / "package.bin", dir_ / "package.bin.xml", timings);
    EXPECT_EQ(manager.generateDownloadTask("Download", 1), GetLengthFailed) << row.what;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    RecordProperty(row.bytesPerSecond == 8 ? "SlowTrickleMs" : "FastTrickleMs", static_cast<int>(ms.count()));
    // Every probe lasts a second or more, so the budget leaves few of the ten tries.
    EXPECT_LE(server.Requests(), 4) << row.what;
    EXPECT_TRUE(Logged(mark, "length probes stopped after")) << row.what;
    EXPECT_TRUE(manager.allTasks().empty()) << row.what;
  }
}

TEST_F(TransferLimitsTest, EndlessRedirectsEndAtTheLimit) {
  TestHttpServer server;
  const std::string a = UniquePath("a");
  const std::string b = UniquePath("b");
  server.Redirect(a, server.Url(b));
  server.Redirect(b, server.Url(a));
  CLibcurlTool tool(FastTimings());
  std::string body;
  EXPECT_EQ(tool.httpGet(server.Url(a), body, false), CURLE_TOO_MANY_REDIRECTS);
  std::string headers;
  long status = 0;
  EXPECT_EQ(tool.httpGetHeaders(server.Url(a), headers, status), CURLE_TOO_MANY_REDIRECTS);
  const std::size_t mark = LogMark();
  RangedGet(server.Url(a));
  EXPECT_TRUE(Logged(mark, "download fail(47)"));
}

TEST_F(TransferLimitsTest, SmallRepliesStopAtOneMebibyte) {
  const std::string chunk(65536, 'x');
  const struct {
    const char* what;
    std::string head;
    std::int64_t bytes;
    CURLcode code;
  } cases[] = {
      {"2 GiB announced", "HTTP/1.1 200 OK\r\nContent-Length: 2147483648", 2048 * MiB, CURLE_FILESIZE_EXCEEDED},
      {"2 GiB unannounced", "HTTP/1.1 200 OK\r\nConnection: close", 2048 * MiB, CURLE_WRITE_ERROR},
      {"length of 9e18", "HTTP/1.1 200 OK\r\nContent-Length: 9000000000000000000", 2048 * MiB,
       CURLE_FILESIZE_EXCEEDED},
      {"one byte over, chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked", 0, CURLE_WRITE_ERROR},
  };
  for (const auto& c : cases) {
    // The chunked case sends one chunk of 1 MiB + 1 bytes, then the end.
    const bool chunked = c.bytes == 0;
    const std::string chunkedBody = "100001\r\n" + std::string(MiB + 1, 'x') + "\r\n0\r\n\r\n";
    RawHttpServer server(c.head, chunked ? chunkedBody : chunk,
                         chunked ? static_cast<std::int64_t>(chunkedBody.size()) : c.bytes);
    const std::size_t mark = LogMark();
    const PeakMemoryGrowth memory;
    CLibcurlTool tool(FastTimings());
    std::string body = "stale";
    EXPECT_EQ(tool.httpGet(server.Url("/queryDownloaderV2"), body, false), c.code) << c.what;
    EXPECT_TRUE(body.empty()) << c.what;
    EXPECT_TRUE(Logged(mark, " Reply over 1048576 bytes refused: " + server.Url("/queryDownloaderV2"))) << c.what;
    EXPECT_LT(memory.Bytes(), kMemoryBound) << c.what;
    EXPECT_LT(server.BytesSent(), kMemoryBound) << c.what;
  }
  RawHttpServer exact("HTTP/1.1 200 OK\r\nContent-Length: 1048576", chunk, MiB);
  CLibcurlTool tool(FastTimings());
  std::string body;
  EXPECT_EQ(tool.httpGet(exact.Url("/"), body, false), CURLE_OK);
  EXPECT_EQ(body.size(), static_cast<std::size_t>(MiB));
}

TEST_F(TransferLimitsTest, AbsurdLengthsAreAFailedProbe) {
  for (const char* header : {"Content-Length: 9000000000000000000", "Content-Length: 99999999999999999999",
                             "Content-Length: -5", "Content-Range: bytes 0-0/1099511627777",
                             "Content-Length: 9223372036854775807"}) {
    RawHttpServer server(std::string("HTTP/1.1 200 OK\r\n") + header, "", 0);
    const PeakMemoryGrowth memory;
    CDownloadTaskManager manager(server.Url(UniquePath("setup.exe")), dir_ / "setup.exe", dir_ / "setup.exe.xml",
                                 FastTimings());
    EXPECT_EQ(manager.generateDownloadTask("Download", 1), GetLengthFailed) << header;
    EXPECT_TRUE(manager.allTasks().empty()) << header;
    EXPECT_LT(memory.Bytes(), kMemoryBound) << header;
  }
}
