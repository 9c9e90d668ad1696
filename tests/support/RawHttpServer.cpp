#include "support/RawHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cerrno>
#include <cstdlib>

RawHttpServer::RawHttpServer(std::string head, std::string body, std::int64_t bodyBytes)
    : head_(std::move(head) + "\r\n\r\n"), body_(std::move(body)), bodyBytes_(bodyBytes) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(listener_, 16) == 0 &&
      getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &size) == 0) {
    port_ = ntohs(addr.sin_port);
  }
  thread_ = std::thread(&RawHttpServer::Serve, this);
}

RawHttpServer::~RawHttpServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
}

std::string RawHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void RawHttpServer::Serve() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Answer(client);
    close(client);
  }
}

namespace {

// Reads from the client until request holds `until` bytes (or, with until 0,
// its blank line). False when the client went away or the server stops.
bool ReadUntil(int client, std::string& request, std::size_t until, const std::atomic<bool>& stopping) {
  char buffer[4096];
  while (until == 0 ? request.find("\r\n\r\n") == std::string::npos : request.size() < until) {
    if (stopping) return false;
    pollfd p{client, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

// Head plus body: a request body (a POST's) is read too, since closing on
// unread bytes would reset the connection under the reply.
bool ReadRequest(int client, std::string& request, const std::atomic<bool>& stopping) {
  if (!ReadUntil(client, request, 0, stopping)) return false;
  std::size_t wanted = request.find("\r\n\r\n") + 4;
  std::string head = request.substr(0, wanted);
  for (char& ch : head) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (const std::size_t at = head.find("\r\ncontent-length:"); at != std::string::npos) {
    wanted += static_cast<std::size_t>(std::atoll(head.c_str() + at + 17));
  }
  return ReadUntil(client, request, wanted, stopping);
}

}  // namespace

void RawHttpServer::Answer(int client) {
  std::string request;
  if (!ReadRequest(client, request, stopping_)) return;
  ++requests_;
  if (trickle_ > 0) return Trickle(client);
  if (send(client, head_.data(), head_.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(head_.size())) return;
  if (request.rfind("HEAD ", 0) == 0) return;
  std::int64_t left = bodyBytes_;
  std::size_t offset = 0;
  while (left > 0 && !body_.empty() && !stopping_) {
    pollfd p{client, POLLOUT, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    if ((p.revents & (POLLERR | POLLHUP)) != 0) return;
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(body_.size() - offset)));
    const ssize_t sent = send(client, body_.data() + offset, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (sent <= 0) return;  // the client went away
    left -= sent;
    sent_ += sent;
    offset = (offset + static_cast<std::size_t>(sent)) % body_.size();
  }
}

void RawHttpServer::Trickle(int client) {
  const std::string head = head_.substr(0, head_.size() - 2);  // the block never ends
  const auto pause = std::chrono::microseconds(1000000 / trickle_);
  const std::string pad = "X-Pad: 0\r\n";
  for (std::size_t i = 0; !stopping_; ++i) {
    const char byte = i < head.size() ? head[i] : pad[(i - head.size()) % pad.size()];
    if (send(client, &byte, 1, MSG_NOSIGNAL) != 1) return;  // the client went away
    ++sent_;
    std::this_thread::sleep_for(pause);
  }
}

namespace {

// Deflates one more mebibyte of zeros with a full flush, which resets the
// compressor: every such piece after the first comes out the same.
std::string DeflateZeroMebibyte(z_stream& z, int flush) {
  static const std::string zeros(std::size_t{1} << 20, '\0');
  std::string out;
  char buffer[1 << 16];
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
  z.avail_in = flush == Z_FINISH ? 0 : static_cast<uInt>(zeros.size());
  do {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    deflate(&z, flush);
    out.append(buffer, sizeof buffer - z.avail_out);
  } while (z.avail_out == 0 || z.avail_in != 0);
  return out;
}

}  // namespace

std::string GzipOfZeroMebibytes(int count) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::string out = DeflateZeroMebibyte(z, Z_FULL_FLUSH);
  const std::string piece = DeflateZeroMebibyte(z, Z_FULL_FLUSH);
  for (int i = 1; i < count; ++i) out += piece;
  std::string end = DeflateZeroMebibyte(z, Z_FINISH);
  deflateEnd(&z);
  // The trailer zlib wrote counts two pieces: CRC-32 and length of them all.
  const std::string zeros(std::size_t{1} << 20, '\0');
  const uLong one = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(zeros.size()));
  uLong crc = one;
  for (int i = 1; i < count; ++i) crc = crc32_combine(crc, one, static_cast<z_off_t>(zeros.size()));
  const std::uint32_t size = static_cast<std::uint32_t>(static_cast<std::uint64_t>(count) << 20);
  for (int i = 0; i < 4; ++i) {
    end[end.size() - 8 + i] = static_cast<char>((crc >> (8 * i)) & 0xff);
    end[end.size() - 4 + i] = static_cast<char>((size >> (8 * i)) & 0xff);
  }
  return out + end;
}

std::vector<OversizedReply> OversizedReplies(const std::string& pattern) {
  constexpr std::int64_t kTwoGiB = 2147483648LL;
  const std::string bomb = GzipOfZeroMebibytes(256);
  return {
      {"2 GiB announced", "HTTP/1.1 200 OK\r\nContent-Length: 2147483648", pattern, kTwoGiB},
      {"2 GiB unannounced", "HTTP/1.1 200 OK\r\nConnection: close", pattern, kTwoGiB},
      {"length of 9e18", "HTTP/1.1 200 OK\r\nContent-Length: 9000000000000000000", pattern, kTwoGiB},
      {"gzip bomb", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(bomb.size()),
       bomb, static_cast<std::int64_t>(bomb.size())},
  };
}
