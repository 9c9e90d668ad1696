#include "support/StandInServer.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "support/WaitUntil.h"

StandInServer::StandInServer() : server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(16); };
  auto handler = [this](const char* method) {
    return [this, method](const httplib::Request& req, httplib::Response& res) { Handle(method, &req, &res); };
  };
  server_->Get(".*", handler("GET"));
  server_->Post(".*", handler("POST"));
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() is ignored until the accept loop runs: wait for it so that a
  // server can go down right after it was made.
  if (port_ <= 0 || !WaitUntil([this] { return server_->is_running(); })) {
    // Nothing can be tested without the server: say so and stop at once.
    std::fprintf(stderr, "loopback test server did not start (port %d)\n", port_);
    std::abort();
  }
}

StandInServer::~StandInServer() { GoDown(); }

std::string StandInServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void StandInServer::Answer(const std::string& path, int status, const std::string& body, int delayMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  replies_[path] = Reply{status, body, delayMs, false};
}

void StandInServer::Stall(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  replies_[path].stall = true;
}

void StandInServer::ReleaseStalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  released_ = true;
  changed_.notify_all();
}

void StandInServer::GoDown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (down_) return;
    down_ = true;
    released_ = true;
    changed_.notify_all();
  }
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void StandInServer::Handle(const std::string& method, const void* request, void* response) {
  const auto& req = *static_cast<const httplib::Request*>(request);
  auto& res = *static_cast<httplib::Response*>(response);
  ReceivedRequest seen{method, req.path, "", req.body, {}};
  const auto mark = req.target.find('?');
  if (mark != std::string::npos) seen.query = req.target.substr(mark + 1);
  for (const auto& [name, value] : req.headers) seen.headers.emplace(name, value);
  std::unique_lock<std::mutex> lock(mutex_);
  received_.push_back(seen);
  changed_.notify_all();
  const Reply reply = replies_.count(req.path) ? replies_[req.path] : Reply{};
  if (reply.stall) {
    changed_.wait(lock, [this] { return released_; });
    res.status = 503;
    return;
  }
  if (reply.delayMs > 0) {
    changed_.wait_for(lock, std::chrono::milliseconds(reply.delayMs), [this] { return released_; });
  }
  res.status = reply.status;
  res.set_content(reply.body, "text/plain");
}

std::vector<ReceivedRequest> StandInServer::Received(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ReceivedRequest> out;
  for (const auto& r : received_) {
    if (r.path == path) out.push_back(r);
  }
  return out;
}

int StandInServer::Count(const std::string& path) const { return static_cast<int>(Received(path).size()); }

bool StandInServer::WaitForCount(const std::string& path, int n, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    int count = 0;
    for (const auto& r : received_) count += r.path == path ? 1 : 0;
    return count >= n;
  });
}
