#include "support/RawHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

void RawHttpServer::Answer(int client) {
  // The request ends with its blank line (requests here carry no body).
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && !stopping_) {
    pollfd p{client, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  // A request body (a POST's) is read too: closing on unread bytes would
  // reset the connection under the reply.
  std::size_t wanted = request.find("\r\n\r\n") + 4;
  std::string lower = request.substr(0, wanted);
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (const std::size_t at = lower.find("\r\ncontent-length:"); at != std::string::npos) {
    wanted += static_cast<std::size_t>(std::atoll(lower.c_str() + at + 17));
  }
  while (request.size() < wanted && !stopping_) {
    pollfd p{client, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  ++requests_;
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

namespace {

std::int64_t StatusField(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name, 0) == 0) return std::atoll(line.c_str() + std::string(name).size()) * 1024;
  }
  return 0;
}

}  // namespace

PeakMemoryGrowth::PeakMemoryGrowth() {
  // "5" resets the peak to the current size.
  std::ofstream("/proc/self/clear_refs") << "5";
  start_ = StatusField("VmRSS:");
  const std::int64_t peak = StatusField("VmHWM:");
  // Without the reset the old peak stands in as the start.
  if (peak > start_) start_ = peak;
}

std::int64_t PeakMemoryGrowth::Bytes() const { return StatusField("VmHWM:") - start_; }

std::string GzipOfZeros(std::int64_t bytes) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  const std::string zeros(1 << 20, '\0');
  std::string out;
  char buffer[1 << 16];
  for (std::int64_t left = bytes; left >= 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(zeros.size())));
    left -= static_cast<std::int64_t>(n);
    const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      deflate(&z, flush);
      out.append(buffer, sizeof buffer - z.avail_out);
    } while (z.avail_out == 0);
    if (flush == Z_FINISH) break;
  }
  deflateEnd(&z);
  return out;
}
