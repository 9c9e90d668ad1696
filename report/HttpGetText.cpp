#include "HttpGetText.h"

#include <curl/curl.h>

#include <initializer_list>

#include "CurlOwners.h"
#include "ModuleDiagnostics.h"
#include "DesktopProxy.h"
#include "TransferRules.h"

namespace {

// Whole-request bound: the receive limit alone lets a server that drips a
// byte at a time hold the caller for ever.
constexpr long kTotalTimeoutMs = 30000;

int StopWhenCancelled(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

curlx::Headers RequestHeaders() {
  curlx::Headers list;
  for (const char* line : {"Accept: */*", "Accept-Language: zh-cn", "Pragma: no-cache",
                           "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)"}) {
    curlx::AppendHeader(list, line);
  }
  return list;
}

}  // namespace

int HttpGetText(const std::string& url, std::string& text, const std::atomic<bool>* cancel) {
  // The header list outlives the handle that points to it.
  const curlx::Headers headers = RequestHeaders();
  const curlx::Easy owner(curl_easy_init());
  CURL* curl = owner.get();
  if (curl == nullptr || transfer::RestrictToWeb(curl) != CURLE_OK) return -1;
  std::string body;
  transfer::CappedBody capped{&body};
  transfer::CollectCapped(curl, capped);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  transfer::UseDesktopProxy(curl, url);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  // Sends "Accept-Encoding: gzip, deflate" and decodes what comes back.
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 6000L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 6L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // Always a fresh answer: nothing is taken from or left in a cache.
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
  if (cancel != nullptr) {
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, StopWhenCancelled);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  }
  long status = 0;
  const CURLcode rc = curl_easy_perform(curl);
  const bool ok =
      rc == CURLE_OK && curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
  if (capped.exceeded || rc == CURLE_FILESIZE_EXCEEDED) report::Diagnose("Reply over the size limit refused [%d]\n", rc);
  if (!ok) return -1;
  text.append(body);
  return 0;
}
