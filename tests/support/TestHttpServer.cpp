#include "support/TestHttpServer.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "FuntionImpl.h"

#include "support/RangeRequest.h"
#include "support/WaitUntil.h"

struct TestHttpServer::Entry {
  std::string data;
  std::int64_t generatedLength = -1;  // >= 0: generated content of this length
  ServeOptions options;
  std::string location;  // non-empty: a redirect
  int redirectStatus = 302;
  bool uploads = false;
  std::atomic<int> drops{0};
  std::atomic<int> offGridFails{0};

  std::int64_t Length() const { return generatedLength >= 0 ? generatedLength : static_cast<std::int64_t>(data.size()); }
  void Copy(std::int64_t offset, std::size_t n, std::string& out) const {
    if (generatedLength >= 0) {
      out = GeneratedBytes(offset, n);
    } else {
      out.assign(data, static_cast<std::size_t>(offset), n);
    }
  }
};

struct TestHttpServer::Stats {
  int gets = 0;
  int heads = 0;
  std::vector<std::string> ranges;
  std::vector<std::pair<std::int64_t, std::int64_t>> cuts;  // [first, end) of each dropped response
  std::string userAgent;
  std::vector<std::map<std::string, std::string>> uploads;
};

unsigned char GeneratedByte(std::int64_t offset) {
  const std::uint64_t x = (static_cast<std::uint64_t>(offset) + 1) * 0x9E3779B97F4A7C15ull;
  return static_cast<unsigned char>((x >> 56) ^ (x >> 29));
}

std::string GeneratedBytes(std::int64_t offset, std::size_t n) {
  std::string out(n, '\0');
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(GeneratedByte(offset + static_cast<std::int64_t>(i)));
  return out;
}

std::string GeneratedMd5(std::int64_t length) {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
  for (std::int64_t at = 0; at < length;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(1 << 20, length - at));
    const std::string block = GeneratedBytes(at, n);
    EVP_DigestUpdate(ctx, block.data(), n);
    at += static_cast<std::int64_t>(n);
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(ctx, digest, &size);
  EVP_MD_CTX_free(ctx);
  return HexLower(digest, size);
}

TestHttpServer::TestHttpServer() : server_(std::make_unique<httplib::Server>()), scheme_("http") { Start(); }

TestHttpServer::TestHttpServer(const std::string& certFile, const std::string& keyFile)
    : server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())), scheme_("https") {
  Start();
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    *stopped_ = true;
  }
  stopping_->notify_all();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string TestHttpServer::Url(const std::string& path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

std::shared_ptr<TestHttpServer::Entry> TestHttpServer::Find(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = entries_.find(path);
  return it == entries_.end() ? nullptr : it->second;
}

void TestHttpServer::ServeBytes(const std::string& path, std::string data, ServeOptions options) {
  auto entry = std::make_shared<Entry>();
  entry->data = std::move(data);
  entry->options = std::move(options);
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[path] = entry;
}

void TestHttpServer::ServeGenerated(const std::string& path, std::int64_t length, ServeOptions options) {
  auto entry = std::make_shared<Entry>();
  entry->generatedLength = length;
  entry->options = std::move(options);
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[path] = entry;
}

void TestHttpServer::Redirect(const std::string& from, const std::string& location, int status) {
  auto entry = std::make_shared<Entry>();
  entry->location = location;
  entry->redirectStatus = status;
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[from] = entry;
}

void TestHttpServer::AcceptUploads(const std::string& path) {
  auto entry = std::make_shared<Entry>();
  entry->uploads = true;
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[path] = entry;
}

void TestHttpServer::SetOptions(const std::string& path, ServeOptions options) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto old = entries_.at(path);
  auto entry = std::make_shared<Entry>();
  entry->data = old->data;
  entry->generatedLength = old->generatedLength;
  entry->options = std::move(options);
  entries_[path] = entry;
}

int TestHttpServer::GetCount(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = stats_.find(path);
  return it == stats_.end() ? 0 : it->second->gets;
}

int TestHttpServer::HeadCount(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = stats_.find(path);
  return it == stats_.end() ? 0 : it->second->heads;
}

std::vector<std::string> TestHttpServer::RangesAsked(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = stats_.find(path);
  return it == stats_.end() ? std::vector<std::string>{} : it->second->ranges;
}

std::vector<std::pair<std::int64_t, std::int64_t>> TestHttpServer::CutsMade(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = stats_.find(path);
  return it == stats_.end() ? std::vector<std::pair<std::int64_t, std::int64_t>>{} : it->second->cuts;
}

std::string TestHttpServer::LastUserAgent(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = stats_.find(path);
  return it == stats_.end() ? "" : it->second->userAgent;
}

std::vector<std::map<std::string, std::string>> TestHttpServer::Uploads(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = stats_.find(path);
  return it == stats_.end() ? std::vector<std::map<std::string, std::string>>{} : it->second->uploads;
}

// Counts the request and keeps what the test may ask about it afterwards.
std::shared_ptr<TestHttpServer::Stats> TestHttpServer::Record(const httplib::Request& req) {
  const bool head = req.method == "HEAD";
  std::lock_guard<std::mutex> lock(mutex_);
  auto& stats = stats_[req.path];
  if (!stats) stats = std::make_shared<Stats>();
  (head ? stats->heads : stats->gets) += 1;
  if (!head) stats->ranges.push_back(req.get_header_value("Range"));
  stats->userAgent = req.get_header_value("User-Agent");
  return stats;
}

void TestHttpServer::HandleGet(const httplib::Request& req, httplib::Response& res) {
  // The server's own range handling would rewrite our replies.
  const_cast<httplib::Request&>(req).ranges.clear();
  const auto stats = Record(req);
  const auto entry = Find(req.path);
  if (!entry) {
    res.status = 404;
    res.set_content("<html>not found</html>", "text/html");
    return;
  }
  for (const auto& [name, value] : entry->options.extraHeaders) res.set_header(name, value);
  if (!entry->location.empty()) {
    res.status = entry->redirectStatus;
    res.set_header("Location", entry->location);
  } else if (req.method == "HEAD") {
    AnswerHead(*entry, res);
  } else {
    Span span;
    if (ChooseReply(*entry, ParseRangeAsk(req.get_header_value("Range"), entry->Length()), res, span)) {
      ProvideBody(entry, stats, span, res);
    }
  }
}

void TestHttpServer::AnswerHead(const Entry& entry, httplib::Response& res) {
  res.status = 200;
  res.set_header("Accept-Ranges", "bytes");
  const std::int64_t reported = entry.options.headLength >= 0 ? entry.options.headLength : entry.Length();
  res.set_content_provider(static_cast<std::size_t>(reported), "application/octet-stream",
                           [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
}

// An error page or a 503 in place of the file, when the options ask for one.
bool TestHttpServer::AnswerInjectedError(Entry& entry, const RangeAsk& ask, httplib::Response& res) {
  const ServeOptions& options = entry.options;
  if (options.errorStatus != 0) {
    res.status = options.errorStatus;
    res.set_content(options.errorBody, "text/html");
    return true;
  }
  if (ask.ranged() && options.failOffGrid > 0 && ask.first % options.failOffGrid != 0 &&
      entry.offGridFails.fetch_add(1) < options.failOffGridTimes) {
    res.status = 503;
    res.set_content("<html>busy</html>", "text/html");
    return true;
  }
  return false;
}

// The options decide the status and the span served (ignored or shortened
// ranges, a lying Content-Range, a cut); false when the reply is complete
// without a body (an error page, a 503, a 416).
bool TestHttpServer::ChooseReply(Entry& entry, const RangeAsk& ask, httplib::Response& res, Span& span) {
  if (AnswerInjectedError(entry, ask, res)) return false;
  const ServeOptions& options = entry.options;
  const std::int64_t length = entry.Length();
  span = {0, length - 1, false};
  const bool longAsk = ask.kind == RangeAsk::Kind::kPart && options.longRange > 0 &&
                       ask.last - ask.first + 1 > options.longRange;
  if (!options.ignoreRange && ask.ranged() && !(longAsk && options.longRangeWhole)) {
    if (ask.kind == RangeAsk::Kind::kPastEnd) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(length));
      return false;
    }
    span.first = ask.first;
    span.last = longAsk ? ask.first + options.longRange - 1 : ask.last;
    const std::int64_t total = options.claimedTotal >= 0 ? options.claimedTotal : length;
    res.status = 206;
    res.set_header("Content-Range", "bytes " + std::to_string(span.first + options.rangeStartShift) + "-" +
                                        std::to_string(span.last + options.rangeStartShift) + "/" +
                                        std::to_string(total));
  } else {
    res.status = 200;
  }
  span.drop = options.dropAfterBytes >= 0 && entry.drops.fetch_add(1) < options.dropTimes;
  return true;
}

// Streams the span in chunks, cutting, stalling or pacing as the options say.
void TestHttpServer::ProvideBody(const std::shared_ptr<Entry>& entry, const std::shared_ptr<Stats>& stats,
                                 const Span& span, httplib::Response& res) {
  const std::int64_t size = span.last - span.first + 1;
  auto stopping = stopping_;
  auto stopped = stopped_;
  res.set_content_provider(
      static_cast<std::size_t>(size), "application/octet-stream",
      [this, entry, stats, span, size, stopping, stopped](std::size_t offset, std::size_t, httplib::DataSink& sink) {
        const ServeOptions& o = entry->options;
        const auto at = static_cast<std::int64_t>(offset);
        if (span.drop && at >= o.dropAfterBytes) {
          std::lock_guard<std::mutex> lock(mutex_);
          stats->cuts.emplace_back(span.first, span.first + at);
          return false;
        }
        if (o.stallAfterBytes >= 0 && at >= o.stallAfterBytes) {
          std::unique_lock<std::mutex> lock(mutex_);
          stopping->wait(lock, [&] { return *stopped; });
          return false;
        }
        std::int64_t chunk = std::min<std::int64_t>(o.bytesPerSecond > 0 ? 16384 : 262144, size - at);
        if (span.drop) chunk = std::min(chunk, o.dropAfterBytes - at);
        if (o.stallAfterBytes >= 0) chunk = std::min(chunk, o.stallAfterBytes - at);
        std::string block;
        entry->Copy(span.first + at, static_cast<std::size_t>(chunk), block);
        if (!sink.write(block.data(), block.size())) return false;
        if (o.bytesPerSecond <= 0) return true;
        std::unique_lock<std::mutex> lock(mutex_);
        stopping->wait_for(lock, std::chrono::microseconds(chunk * 1000000 / o.bytesPerSecond),
                           [&] { return *stopped; });
        return !*stopped;
      });
}

void TestHttpServer::HandlePost(const httplib::Request& req, httplib::Response& res) {
  const auto entry = Find(req.path);
  if (!entry || !entry->uploads) {
    res.status = 404;
    return;
  }
  std::map<std::string, std::string> fields;
  for (const auto& [name, part] : req.files) {
    fields[name] = part.content;
    if (!part.filename.empty()) fields["filename"] = part.filename;
  }
  fields["content-type"] = req.get_header_value("Content-Type");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& stats = stats_[req.path];
    if (!stats) stats = std::make_shared<Stats>();
    stats->uploads.push_back(fields);
  }
  res.set_content("uploaded", "text/plain");
}

void TestHttpServer::Start() {
  stopping_ = std::make_shared<std::condition_variable>();
  stopped_ = std::make_shared<bool>(false);
  server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
  server_->set_keep_alive_timeout(1);
  server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) { HandleGet(req, res); });
  server_->Post(".*", [this](const httplib::Request& req, httplib::Response& res) { HandlePost(req, res); });
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() before the loop runs would be lost and the join would hang.
  if (port_ <= 0 || !WaitUntil([this] { return server_->is_running(); })) {
    // Nothing can be tested without the server: say so and stop at once.
    std::fprintf(stderr, "loopback test server did not start (port %d)\n", port_);
    std::abort();
  }
}
