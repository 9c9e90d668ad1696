#pragma once
// A loopback server that answers every request with one fixed header block
// and then a body streamed from a pattern, for replies no well-behaved server
// library would send: a Content-Length the body never matches, a body of
// gigabytes that is never held in memory, bytes of an encoding bomb. It stops
// sending as soon as the client goes away, and after bodyBytes bytes.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class RawHttpServer {
 public:
  // head: the status line and headers without the blank line that ends them.
  // body: repeated until bodyBytes bytes have been sent (or the client left).
  RawHttpServer(std::string head, std::string body, std::int64_t bodyBytes);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  std::string Url(const std::string& path) const;
  // From now on the header block goes out one byte at a time at this rate
  // and never ends (padding header lines follow it) until the client leaves.
  void TrickleHeadForEver(int bytesPerSecond) { trickle_ = bytesPerSecond; }
  int Requests() const { return requests_.load(); }
  std::int64_t BytesSent() const { return sent_.load(); }

 private:
  void Serve();
  void Answer(int client);
  void Trickle(int client);

  std::string head_;
  std::string body_;
  std::int64_t bodyBytes_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<int> trickle_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::atomic<std::int64_t> sent_{0};
  std::thread thread_;
};

// A gzip stream of count (at least 2) mebibytes of zeros, made from two
// compressed pieces: cheap to build, about a thousandth of its decoded size.
std::string GzipOfZeroMebibytes(int count);

// A reply that no small GET may keep: its header block, the pattern its body
// repeats, and how many body bytes the server sends.
struct OversizedReply {
  const char* what;
  std::string head;
  std::string body;
  std::int64_t bytes;
};

// 2 GiB announced and unannounced and a length of 9e18 (each streaming
// pattern), and a gzip bomb of 256 MiB.
std::vector<OversizedReply> OversizedReplies(const std::string& pattern);
