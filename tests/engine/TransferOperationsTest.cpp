// The other operations of the transfer layer, and TLS verification.
#include <gtest/gtest.h>

#include <cctype>

#include "CLibcurlTool.h"
#include "DownLoadImpl.h"
#include "EngineFixture.h"
#include "support/ScopedTestProcess.h"
#include "support/TestCa.h"
#include "support/TestHttpServer.h"

namespace {

// "NoName_" + 17 digits + extension.
bool IsGeneratedName(const std::string& name, const std::string& extension) {
  if (name.size() != 7 + 17 + extension.size() || name.rfind("NoName_", 0) != 0) return false;
  for (std::size_t i = 7; i < 24; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return name.substr(24) == extension;
}

class TransferOperationsTest : public EngineTest {
 protected:
  ScopedTestProcess process_;
};

TEST_F(TransferOperationsTest, HeaderProbeReturnsEveryHopAndTheFinalStatus) {
  TestHttpServer server;
  const std::string path = UniquePath("a");
  server.ServeBytes(path + "3", "final");
  server.Redirect(path + "2", server.Url(path + "3"));
  server.Redirect(path + "1", server.Url(path + "2"));
  CLibcurlTool tool;
  char header[CLibcurlTool::kHeaderBufferSize + 1] = {};
  long status = 0;
  EXPECT_EQ(tool.httpGet(server.Url(path + "1"), header, status), CURLE_OK);
  EXPECT_EQ(status, 200);
  const std::string text(header);
  int blocks = 0;
  for (std::size_t at = text.find("HTTP/1.1 "); at != std::string::npos; at = text.find("HTTP/1.1 ", at + 1)) ++blocks;
  EXPECT_EQ(blocks, 3) << text;
}

TEST_F(TransferOperationsTest, HeaderProbeCopiesAtMostTwoThousandBytes) {
  TestHttpServer server;
  const std::string path = UniquePath("big-headers");
  ServeOptions options;
  options.extraHeaders = {{"X-Padding", std::string(3000, 'p')}};
  server.ServeBytes(path, "x", options);
  CLibcurlTool tool;
  char header[CLibcurlTool::kHeaderBufferSize + 16];
  std::fill(std::begin(header), std::end(header), '#');
  long status = 0;
  EXPECT_EQ(tool.httpGet(server.Url(path), header, status), CURLE_OK);
  EXPECT_EQ(header[CLibcurlTool::kHeaderBufferSize], '#');
  EXPECT_NE(header[CLibcurlTool::kHeaderBufferSize - 1], '#');
}

TEST_F(TransferOperationsTest, SmallGetAndPostReturnTheBody) {
  TestHttpServer server;
  const std::string path = UniquePath("body");
  server.ServeBytes(path, "<Downloader/>");
  CLibcurlTool tool;
  std::string body;
  EXPECT_EQ(tool.httpGet(server.Url(path), body, false), CURLE_OK);
  EXPECT_EQ(body, "<Downloader/>");

  const std::string post = UniquePath("post");
  server.AcceptUploads(post);
  std::string response;
  EXPECT_EQ(CLibcurlTool::HttpPost(server.Url(post), "pid=7&type=2", response, ""), CURLE_OK);
  EXPECT_EQ(response, "uploaded");
  ASSERT_EQ(server.Uploads(post).size(), 1u);
  EXPECT_EQ(server.Uploads(post)[0].at("content-type"), "application/x-www-form-urlencoded");
}

TEST_F(TransferOperationsTest, UploadNamesAnUnnamedFileAndRefusesShortPaths) {
  TempDir certs;
  TestCa ca(certs.path(), "upload");
  std::string cert, key;
  ASSERT_TRUE(ca.IssueServerCert("server", cert, key));
  TestHttpServer server(cert, key);
  process_.CaBundle(ca.CertFile());
  const std::string path = "/v1/productLogUpload";
  server.AcceptUploads(path);
  process_.LogUploadEndpoint(server.Url(path));
  dir_.Write("bundle.zip", "zip bytes");
  EXPECT_EQ(UploadLogFile(dir_ / "bundle.zip", "", "42", "1.0.0.0", ""), 0);
  EXPECT_EQ(UploadLogFile("a.gz", "", "42", "1.0.0.0", "x"), -1);
  const auto uploads = server.Uploads(path);
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_TRUE(IsGeneratedName(uploads[0].at("filename"), ".zip")) << uploads[0].at("filename");
  EXPECT_EQ(uploads[0].at("file"), "zip bytes");
  EXPECT_EQ(uploads[0].at("product_id"), "42");
  EXPECT_EQ(uploads[0].count("catalogue"), 0u);
  EXPECT_TRUE(IsGeneratedName(MakeUploadFileName("/tmp/noext"), ".tmp"));
}

TEST_F(TransferOperationsTest, FigureErrorMessages) {
  const std::pair<CURLcode, const char*> cases[] = {
      {CURLE_OPERATION_TIMEDOUT, " Curl Time out"},
      {CURLE_COULDNT_CONNECT, " Curl Connect Server Error"},
      {CURLE_WRITE_ERROR, " 接收数据错误"},
      {CURLE_TOO_MANY_REDIRECTS, " Curl Else Error: 47"},
  };
  for (const auto& [code, message] : cases) {
    EXPECT_EQ(CLibcurlTool::figureError(code), 1);
    EXPECT_NE(log_.Text().find(message), std::string::npos) << message;
  }
}

TEST_F(TransferOperationsTest, HttpsVerifiesThePeerAgainstTheConfiguredCa) {
  TempDir certs;
  TestCa trusted(certs.path(), "trusted");
  TestCa stranger(certs.path(), "stranger");
  std::string goodCert, goodKey, badCert, badKey;
  ASSERT_TRUE(trusted.IssueServerCert("good", goodCert, goodKey));
  ASSERT_TRUE(stranger.IssueServerCert("bad", badCert, badKey));
  TestHttpServer good(goodCert, goodKey);
  TestHttpServer bad(badCert, badKey);
  const std::string path = UniquePath("setup.exe");
  const std::int64_t length = 5 * 1048576 + 9;
  good.ServeGenerated(path, length);
  bad.ServeGenerated(path, length);

  DownloadTimings timings = FastTimings();
  CDownLoadImpl engine(timings);
  std::string report;
  // The system store knows neither test CA.
  EXPECT_EQ(engine.SuperDownloadFile(good.Url(path), dir_ / "a.exe", report, true), GetLengthFailed);
  process_.CaBundle(trusted.CertFile());
  EXPECT_EQ(engine.SuperDownloadFile(bad.Url(path), dir_ / "b.exe", report, true), GetLengthFailed);
  EXPECT_EQ(bad.GetCount(path) + bad.HeadCount(path), 0);
  EXPECT_EQ(engine.SuperDownloadFile(good.Url(path), dir_ / "c.exe", report, true), Completed);
  EXPECT_EQ(CDownLoadImpl::FileMd5(dir_ / "c.exe"), GeneratedMd5(length));
}

TEST_F(TransferOperationsTest, CheckMd5ComparesExactlyAndWritesTheMarker) {
  dir_.Write("pkg.exe", "abc");
  const std::string digest = "900150983cd24fb0d6963f7d28e17f72";
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const struct {
    std::string expected, extra;
    bool match;
  } cases[] = {{digest, "", true}, {"0", digest, true}, {upper, "", false}, {"", "", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(CDownLoadImpl::checkMD5(dir_ / "pkg.exe", c.expected, c.extra, "marker"), c.match) << c.expected;
  }
  EXPECT_EQ(dir_.Read("pkg.exe.db"), "marker###" + digest);
  EXPECT_EQ(CDownLoadImpl::FileMd5(dir_ / "missing"), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
