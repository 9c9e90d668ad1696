// A package that changes on the server during a download: the round ends at
// the first reply that shows it, nothing of that reply is written, and the
// next round starts the task list over for the new file.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "DownLoadImpl.h"
#include "EngineFixture.h"
#include "EnumErrorCode.h"
#include "support/WaitUntil.h"

namespace {

constexpr std::int64_t MiB = 1048576;

std::string Pattern(std::size_t n, unsigned seed) {
  std::string bytes(n, '\0');
  std::uint32_t x = seed;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(x >> 24);
  }
  return bytes;
}

// Serves one file at /pkg; after switchAfter range replies every reply, HEAD
// included, is of the other version. Honours If-Range unless told not to.
class VersionedServer {
 public:
  struct Mode {
    int switchAfter = 1 << 30;
    bool honourIfRange = true;
    bool claimOldTotal = false;       // 206 of the new file with the old total
    bool totalKeepsChanging = false;  // every reply's total is another one
  };

  VersionedServer(std::string oldFile, std::string newFile, Mode mode)
      : old_(std::move(oldFile)), new_(std::move(newFile)), mode_(mode), switchAfter_(mode.switchAfter) {
    // HEAD requests reach the GET handler.
    server_.Get("/pkg", [this](const httplib::Request& req, httplib::Response& res) {
      if (req.method == "HEAD") {
        Head(res);
      } else {
        Get(req, res);
      }
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    WaitUntil([this] { return server_.is_running(); });
  }
  ~VersionedServer() {
    server_.stop();
    thread_.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/pkg"; }
  int Requests() const { return requests_.load(); }
  void SwitchNow() { switchAfter_ = 0; }

 private:
  void Head(httplib::Response& res) {
    requests_ += 1;
    const bool now = switched();
    const std::int64_t length = mode_.totalKeepsChanging ? Body(now).size() + requests_.load()
                                                         : static_cast<std::int64_t>(Body(now).size());
    res.set_header("ETag", Etag(now));
    res.set_content_provider(static_cast<std::size_t>(length), "application/octet-stream",
                             [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
  }

  void Get(const httplib::Request& req, httplib::Response& res) {
    const_cast<httplib::Request&>(req).ranges.clear();
    requests_ += 1;
    const bool now = switched();
    const std::string& body = Body(now);
    res.set_header("ETag", Etag(now));
    long long first = 0;
    long long last = 0;
    const std::string range = req.get_header_value("Range");
    const bool ranged = std::sscanf(range.c_str(), "bytes=%lld-%lld", &first, &last) == 2;
    const bool stale = req.has_header("If-Range") && req.get_header_value("If-Range") != Etag(now);
    if (!ranged || (stale && mode_.honourIfRange)) {
      res.set_content(body, "application/octet-stream");
      return;
    }
    last = std::min<long long>(last, static_cast<long long>(body.size()) - 1);
    std::size_t total = body.size();
    if (mode_.claimOldTotal) total = old_.size();
    if (mode_.totalKeepsChanging) total = body.size() + 1 + requests_.load();
    res.status = 206;
    res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                                        std::to_string(total));
    res.set_content(body.substr(first, last - first + 1), "application/octet-stream");
    rangeReplies_ += 1;
  }

  bool switched() const { return rangeReplies_.load() >= switchAfter_.load(); }
  const std::string& Body(bool now) const { return now ? new_ : old_; }
  static std::string Etag(bool now) { return now ? "\"v2\"" : "\"v1\""; }

  std::string old_;
  std::string new_;
  Mode mode_;
  std::atomic<int> switchAfter_;
  std::atomic<int> requests_{0};
  std::atomic<int> rangeReplies_{0};
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

class ChangedFileTest : public EngineTest {
 protected:
  // Up to rounds rounds of the engine as the install worker runs them,
  // stopping at the second changed round in a row.
  int Rounds(const std::string& url, int rounds, int& used, long long& ms) {
    const auto begin = std::chrono::steady_clock::now();
    int result = 0;
    int changed = 0;
    for (used = 1; used <= rounds; ++used) {
      CDownLoadImpl impl(FastTimings());
      std::string report;
      result = impl.SuperDownloadFile(url, package_, report, false);
      if (result == Completed) break;
      changed = result == RemoteChanged ? changed + 1 : 0;
      if (changed >= 2) break;
    }
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
    return result;
  }

  TempDir dir_;
  std::string package_ = dir_ / "package.bin";
};

const std::string kOld = Pattern(24 * MiB, 1);
const std::string kNew = Pattern(20 * MiB + 12345, 2);

TEST_F(ChangedFileTest, NewVersionAfterThreeRangesEndsAsTheNewFile) {
  long long cleanMs = 0;
  int rounds = 0;
  int cleanRequests = 0;
  {
    VersionedServer clean(kNew, kNew, {});
    ASSERT_EQ(Rounds(clean.Url(), 12, rounds, cleanMs), Completed);
    cleanRequests = clean.Requests();
    std::filesystem::remove(package_);
  }
  VersionedServer::Mode mode;
  mode.switchAfter = 3;
  VersionedServer server(kOld, kNew, mode);
  long long ms = 0;
  ASSERT_EQ(Rounds(server.Url(), 12, rounds, ms), Completed);
  EXPECT_EQ(rounds, 2);
  EXPECT_TRUE(ReadFile(package_) == kNew);
  EXPECT_NE(log_.Text().find("remote file changed"), std::string::npos);
  std::printf("[ figures ] clean: %lld ms, %d requests; changed after 3 ranges: %lld ms, %d requests, %d rounds\n",
              cleanMs, cleanRequests, ms, server.Requests(), rounds);
}

TEST_F(ChangedFileTest, LengthThatKeepsChangingIsGivenUpAfterTwoRounds) {
  VersionedServer::Mode mode;
  mode.totalKeepsChanging = true;
  VersionedServer server(kNew, kNew, mode);
  long long ms = 0;
  int rounds = 0;
  EXPECT_EQ(Rounds(server.Url(), 12, rounds, ms), RemoteChanged);
  EXPECT_LE(rounds, 2);
  EXPECT_LE(server.Requests(), 80);
  EXPECT_FALSE(std::filesystem::exists(package_ + ".xml"));
  std::printf("[ figures ] length keeps changing: %lld ms, %d requests, %d rounds\n", ms, server.Requests(), rounds);
}

TEST_F(ChangedFileTest, ServerIgnoringIfRangeIsCaughtByItsValidators) {
  VersionedServer::Mode mode;
  mode.switchAfter = 3;
  mode.honourIfRange = false;
  mode.claimOldTotal = true;
  const std::string sameLength = Pattern(kOld.size(), 3);
  VersionedServer server(kOld, sameLength, mode);
  long long ms = 0;
  int rounds = 0;
  ASSERT_EQ(Rounds(server.Url(), 12, rounds, ms), Completed);
  EXPECT_EQ(rounds, 2);
  EXPECT_TRUE(ReadFile(package_) == sameLength);
}

TEST_F(ChangedFileTest, ResumeAcrossRunsAfterTheFileChangedStartsOver) {
  VersionedServer server(kOld, kNew, {});
  {
    CDownLoadImpl impl(FastTimings());
    std::string report;
    ASSERT_EQ(impl.SuperDownloadFile(server.Url(), package_, report, false), Completed);
  }
  ASSERT_TRUE(std::filesystem::exists(package_ + ".xml"));
  // Between the runs the server publishes another file of another length.
  server.SwitchNow();
  CDownLoadImpl impl(FastTimings());
  std::string report;
  EXPECT_EQ(impl.SuperDownloadFile(server.Url(), package_, report, false), Completed);
  EXPECT_TRUE(ReadFile(package_) == kNew);
}

}  // namespace
