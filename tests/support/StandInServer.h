#pragma once
// A loopback HTTP stand-in for the services telemetry talks to. Each path
// answers with a status and body (optionally after a delay), stalls (holds
// the request until the server stops or is released), or the whole server
// goes down (connection refused). Every request is recorded.
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

struct ReceivedRequest {
  std::string method;
  std::string path;
  std::string query;  // raw text after "?", undecoded
  std::string body;
  std::multimap<std::string, std::string> headers;
};

class StandInServer {
 public:
  StandInServer();
  virtual ~StandInServer();
  StandInServer(const StandInServer&) = delete;
  StandInServer& operator=(const StandInServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path = "") const;

  void Answer(const std::string& path, int status, const std::string& body = "", int delayMs = 0);
  void Stall(const std::string& path);
  void ReleaseStalls();  // stalled requests then answer 503
  void GoDown();         // stops listening; later requests are refused

  std::vector<ReceivedRequest> Received(const std::string& path) const;
  int Count(const std::string& path) const;
  // Waits until path has seen at least n requests; false after timeoutMs.
  bool WaitForCount(const std::string& path, int n, int timeoutMs) const;

 private:
  struct Reply {
    int status = 404;
    std::string body;
    int delayMs = 0;
    bool stall = false;
  };
  void Handle(const std::string& method, const void* request, void* response);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<std::string, Reply> replies_;
  std::vector<ReceivedRequest> received_;
  bool released_ = false;
  bool down_ = false;
};
