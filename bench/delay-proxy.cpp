// qm-delay-proxy LISTEN_PORT TARGET_PORT DELAY_MS
//
// Loopback TCP forwarder for the download benchmark: every block a client
// sends (one HTTP request) reaches the server DELAY_MS later, so each reply
// starts that much later, as over a long network path. Replies pass through
// unchanged. One thread per direction and connection; runs until killed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

int ConnectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

bool WriteAll(int fd, const char* data, ssize_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, data, static_cast<size_t>(n));
    if (w <= 0) return false;
    data += w;
    n -= w;
  }
  return true;
}

// Copies from one socket to the other until either side ends; delayMs > 0
// holds each block back that long.
void Pump(int from, int to, int delayMs) {
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    const ssize_t n = read(from, buffer.data(), buffer.size());
    if (n <= 0) break;
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (!WriteAll(to, buffer.data(), n)) break;
  }
  shutdown(to, SHUT_WR);
  shutdown(from, SHUT_RD);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: qm-delay-proxy LISTEN_PORT TARGET_PORT DELAY_MS\n");
    return 2;
  }
  // A client that hangs up mid-reply must not end the proxy.
  std::signal(SIGPIPE, SIG_IGN);
  const int listenPort = std::atoi(argv[1]);
  const int targetPort = std::atoi(argv[2]);
  const int delayMs = std::atoi(argv[3]);
  const int server = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(listenPort));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(server, 64) != 0) {
    std::perror("listen");
    return 1;
  }
  for (;;) {
    const int client = accept(server, nullptr, nullptr);
    if (client < 0) continue;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const int upstream = ConnectTo(targetPort);
    if (upstream < 0) {
      close(client);
      continue;
    }
    std::thread([client, upstream, delayMs] {
      std::thread back(Pump, upstream, client, 0);
      Pump(client, upstream, delayMs);
      back.join();
      close(client);
      close(upstream);
    }).detach();
  }
}
