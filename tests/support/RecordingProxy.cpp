#include "support/RecordingProxy.h"

#include <httplib.h>

#include "support/WaitUntil.h"

RecordingProxy::RecordingProxy() : server_(std::make_unique<httplib::Server>()) {
  const auto record = [this](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      targets_.push_back(req.target);
    }
    res.set_content(kBody, "text/plain");
  };
  server_->Get(".*", record);
  server_->Post(".*", record);
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop before the accept loop runs would be lost and the join would hang.
  WaitUntil([this] { return server_->is_running(); });
}

RecordingProxy::~RecordingProxy() {
  server_->stop();
  thread_.join();
}

std::string RecordingProxy::Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> RecordingProxy::Targets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return targets_;
}
