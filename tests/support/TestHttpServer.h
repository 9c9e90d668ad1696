#pragma once
// Loopback HTTP(S) server for engine tests (cpp-httplib on an ephemeral
// port). Each path serves a file (bytes held in memory, or generated from the
// offset so that big files cost no memory) with byte ranges, and can be made
// to misbehave the ways real servers do: redirects, CDN headers, a lying
// Content-Range, a dropped or stalled connection, error pages, ignored
// ranges, a per-connection rate limit. Behaviour can change between requests.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib
struct RangeAsk;

// The byte a generated file holds at offset i.
unsigned char GeneratedByte(std::int64_t offset);
// Bytes [offset, offset + n) of a generated file.
std::string GeneratedBytes(std::int64_t offset, std::size_t n);
// Lower-case hex MD5 of a whole generated file.
std::string GeneratedMd5(std::int64_t length);

struct ServeOptions {
  std::int64_t dropAfterBytes = -1;   // close the connection after this many body bytes
  int dropTimes = 1 << 30;            // ... in this many GET responses, then serve normally
  std::int64_t stallAfterBytes = -1;  // send this many body bytes, then hold the connection
  std::int64_t bytesPerSecond = 0;    // per-connection rate limit (0: none)
  bool ignoreRange = false;           // answer every GET with 200 and the whole file
  std::int64_t claimedTotal = -1;     // Content-Range total to claim instead of the length
  std::int64_t rangeStartShift = 0;   // 206 whose Content-Range starts this far off
  int errorStatus = 0;                // answer GETs with this status and errorBody
  std::string errorBody;
  std::int64_t headLength = -1;                                   // Content-Length a HEAD reports instead of the length
  std::int64_t failOffGrid = 0;                                   // > 0: ranges starting off this grid (a split's helper) ...
  int failOffGridTimes = 0;                                       // ... are answered 503 this many times
  std::int64_t longRange = 0;                                     // > 0: ranges asking more than this many bytes ...
  bool longRangeWhole = false;                                    // ... get 200 with the whole file, else a 206 of only their first longRange bytes
  std::vector<std::pair<std::string, std::string>> extraHeaders;  // on every response
};

class TestHttpServer {
 public:
  // Plain HTTP, or HTTPS with the given certificate and key files.
  TestHttpServer();
  TestHttpServer(const std::string& certFile, const std::string& keyFile);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;

  void ServeBytes(const std::string& path, std::string data, ServeOptions options = {});
  void ServeGenerated(const std::string& path, std::int64_t length, ServeOptions options = {});
  void Redirect(const std::string& from, const std::string& location, int status = 302);
  void SetOptions(const std::string& path, ServeOptions options);

  int GetCount(const std::string& path) const;  // ranged or plain GETs
  int HeadCount(const std::string& path) const;
  std::vector<std::string> RangesAsked(const std::string& path) const;
  // The bytes [first, end) that each response cut short by dropAfterBytes sent.
  // The client may have stopped reading earlier: a range it shortened.
  std::vector<std::pair<std::int64_t, std::int64_t>> CutsMade(const std::string& path) const;
  std::string LastUserAgent(const std::string& path) const;

  // Multipart uploads received at path: field name -> content; the file part's
  // sent name under "filename".
  std::vector<std::map<std::string, std::string>> Uploads(const std::string& path) const;
  void AcceptUploads(const std::string& path);

 private:
  struct Entry;
  struct Stats;
  struct Span {  // bytes [first, last] of the file a GET is answered with
    std::int64_t first = 0;
    std::int64_t last = -1;
    bool drop = false;  // cut after dropAfterBytes
  };
  void Start();
  void HandleGet(const httplib::Request& req, httplib::Response& res);
  void HandlePost(const httplib::Request& req, httplib::Response& res);
  std::shared_ptr<Stats> Record(const httplib::Request& req);
  static void AnswerHead(const Entry& entry, httplib::Response& res);
  static bool AnswerInjectedError(Entry& entry, const RangeAsk& ask, httplib::Response& res);
  static bool ChooseReply(Entry& entry, const RangeAsk& ask, httplib::Response& res, Span& span);
  void ProvideBody(const std::shared_ptr<Entry>& entry, const std::shared_ptr<Stats>& stats, const Span& span,
                   httplib::Response& res);
  std::shared_ptr<Entry> Find(const std::string& path) const;

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::string scheme_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Entry>> entries_;
  std::map<std::string, std::shared_ptr<Stats>> stats_;
  std::shared_ptr<std::condition_variable> stopping_;
  std::shared_ptr<bool> stopped_;
};
