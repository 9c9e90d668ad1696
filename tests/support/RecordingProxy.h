#pragma once
// A loopback forward proxy for plain-http transfers: records the request
// target of every request it receives (an absolute URL when a client sends
// it through a proxy) and answers each with 200 and a fixed body, without
// going anywhere.
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

class RecordingProxy {
 public:
  static constexpr const char* kBody = "answered by the proxy";

  RecordingProxy();
  ~RecordingProxy();
  RecordingProxy(const RecordingProxy&) = delete;
  RecordingProxy& operator=(const RecordingProxy&) = delete;

  // "http://127.0.0.1:<port>"
  std::string Address() const;
  std::vector<std::string> Targets() const;

 private:
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> targets_;
  std::thread thread_;
};
