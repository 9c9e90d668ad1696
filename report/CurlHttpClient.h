#pragma once
// libcurl client shared by several threads: every request builds and cleans
// up its own easy handle; the result (response text, status) is kept per
// calling thread. Requests are bounded by 30 s to connect and 40 s in total,
// follow at most 5 redirections, speak http and https only (redirects
// included), keep at most 1 MiB of reply and verify the peer (system CA
// store). Results are libcurl codes; set-up and transfer failures also go to
// the module's diagnostic file.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "TransferRules.h"

class CurlHttpClient {
 public:
  // cancel, when given, ends transfers in flight as soon as it becomes true.
  explicit CurlHttpClient(const std::atomic<bool>* cancel = nullptr);

  int Post(const std::string& url, const std::string& header, const std::string& body);
  int Get(const std::string& url, const std::string& header);
  // Status of this thread's last stored result; 0 when none.
  int GetResponseCode();
  // Response text of this thread's last stored result, taken out.
  std::string GetResponse();
  // Proxy for every later request of this object.
  void SetProxy(const std::string& proxy);

 private:
  void* Prepare(const std::string& url);
  int Finish(void* handle, transfer::CappedBody& response);
  std::string Proxy();

  std::mutex mutex_;
  std::map<std::thread::id, std::pair<std::string, long>> results_;
  std::string proxy_;
  const std::atomic<bool>* cancel_;
};
