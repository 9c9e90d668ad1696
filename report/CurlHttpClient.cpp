#include "CurlHttpClient.h"

#include <curl/curl.h>

#include "CurlOwners.h"
#include "ModuleDiagnostics.h"
#include "DesktopProxy.h"
#include "TransferRules.h"

namespace {

constexpr long kConnectTimeoutS = 30;
constexpr long kTotalTimeoutS = 40;

int StopWhenCancelled(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

// Runs the set-up steps in order; the first failing one is logged and the
// later ones are skipped (the handle is used as it is).
void ApplyLimits(CURL* curl) {
  CURLcode rc = curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
  if (rc != CURLE_OK) return report::Diagnose("Failed to set connection time out [%d]\n", rc);
  rc = curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTotalTimeoutS);
  if (rc != CURLE_OK) return report::Diagnose("Failed to set time out [%d]\n", rc);
  rc = curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, transfer::AppendCapped);
  if (rc != CURLE_OK) return report::Diagnose("Failed to set CURLOPT_WRITEFUNCTION [%d]\n", rc);
  rc = curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  if (rc != CURLE_OK) return report::Diagnose("Failed to CURLOPT_FOLLOWLOCATION [%d]\n", rc);
}

// Applies one option; logs and reports false when it fails.
template <typename T>
bool Set(CURL* curl, CURLoption option, T value, const char* message, CURLcode& rc) {
  rc = curl_easy_setopt(curl, option, value);
  if (rc == CURLE_OK) return true;
  report::Diagnose(message, rc);
  return false;
}

}  // namespace

CurlHttpClient::CurlHttpClient(const std::atomic<bool>* cancel) : cancel_(cancel) {}

std::string CurlHttpClient::Proxy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return proxy_;
}

void CurlHttpClient::SetProxy(const std::string& proxy) {
  std::lock_guard<std::mutex> lock(mutex_);
  proxy_ = proxy;
}

void* CurlHttpClient::Prepare(const std::string& url) {
  curlx::Easy owner(curl_easy_init());
  CURL* curl = owner.get();
  if (curl == nullptr) {
    report::Diagnose("Failed to create CURL connection\n", 0);
    return nullptr;
  }
  // Only http and https, at most 5 redirects: a handle that cannot be held to
  // that is not used.
  if (const CURLcode rc = transfer::RestrictToWeb(curl); rc != CURLE_OK) {
    report::Diagnose("Failed to restrict protocols [%d]\n", rc);
    return nullptr;
  }
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(transfer::kSmallReplyLimit));
  // Set here as well: the write data is always a capped body, even when a
  // limit step below fails and skips the rest.
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, transfer::AppendCapped);
  // The peer is verified (libcurl's default): telemetry must not be readable
  // or forgeable by whoever sits on the path.
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // A proxy set for this client wins over the desktop's.
  if (const std::string proxy = Proxy(); !proxy.empty()) {
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
  } else {
    transfer::UseDesktopProxy(curl, url);
  }
  if (cancel_ != nullptr) {
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, StopWhenCancelled);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel_));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  }
  ApplyLimits(curl);
  return owner.release();
}

int CurlHttpClient::Finish(void* handle, transfer::CappedBody& response) {
  CURL* curl = static_cast<CURL*>(handle);
  CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  if (rc == CURLE_OK) rc = curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (response.exceeded || rc == CURLE_FILESIZE_EXCEEDED) {
    report::Diagnose("Reply over the size limit refused [%d]\n", rc);
  }
  if (rc != CURLE_OK) {
    report::Diagnose("Failed to perform request [%d]\n", rc);
    return rc;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  results_[std::this_thread::get_id()] = {std::move(*response.text), status};
  return CURLE_OK;
}

int CurlHttpClient::Post(const std::string& url, const std::string& header, const std::string& body) {
  std::string response;
  transfer::CappedBody capped{&response};
  // The header list outlives the handle that points to it.
  curlx::Headers headers;
  const curlx::Easy owner(static_cast<CURL*>(Prepare(url)));
  CURL* curl = owner.get();
  if (curl == nullptr) return CURLE_FAILED_INIT;
  curlx::AppendHeader(headers, header.c_str());
  CURLcode rc = CURLE_OK;
  const bool ready =
      Set(curl, CURLOPT_URL, url.c_str(), "Failed to set error buffer [%d]\n", rc) &&
      Set(curl, CURLOPT_HTTPHEADER, headers.get(), "Failed to set CURLOPT_HTTPHEADER [%d]\n", rc) &&
      Set(curl, CURLOPT_POST, 1L, "Failed to set CURLOPT_POST [%d]\n", rc) &&
      Set(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()),
          "Failed to set CURLOPT_POSTFIELDS [%d]\n", rc) &&
      Set(curl, CURLOPT_POSTFIELDS, body.c_str(), "Failed to set CURLOPT_POSTFIELDS [%d]\n", rc) &&
      Set(curl, CURLOPT_WRITEDATA, &capped, "Failed to set CURLOPT_WRITEDATA [%d]\n", rc);
  return ready ? Finish(curl, capped) : rc;
}

int CurlHttpClient::Get(const std::string& url, const std::string& header) {
  std::string response;
  transfer::CappedBody capped{&response};
  // The header list outlives the handle that points to it.
  curlx::Headers headers;
  const curlx::Easy owner(static_cast<CURL*>(Prepare(url)));
  CURL* curl = owner.get();
  if (curl == nullptr) return CURLE_FAILED_INIT;
  curlx::AppendHeader(headers, header.c_str());
  CURLcode rc = CURLE_OK;
  const bool ready =
      Set(curl, CURLOPT_URL, url.c_str(), "Failed to set CURLOPT_URL [%d]\n", rc) &&
      Set(curl, CURLOPT_WRITEDATA, &capped, "Failed to set CURLOPT_WRITEDATA [%d]\n", rc) &&
      Set(curl, CURLOPT_HTTPHEADER, headers.get(), "Failed to set CURLOPT_HTTPHEADER [%d]\n", rc) &&
      Set(curl, CURLOPT_HTTPGET, 1L, "Failed to set CURLOPT_POST [%d]\n", rc);
  return ready ? Finish(curl, capped) : rc;
}

int CurlHttpClient::GetResponseCode() {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = results_.find(std::this_thread::get_id());
  return it == results_.end() ? 0 : static_cast<int>(it->second.second);
}

std::string CurlHttpClient::GetResponse() {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = results_.find(std::this_thread::get_id());
  return it == results_.end() ? std::string() : std::move(it->second.first);
}
