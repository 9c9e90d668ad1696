#pragma once
// Owners of libcurl resources: each frees its handle when it goes away.
// Destruction runs in reverse order of declaration, so a MIME form or header
// list that an easy handle uses is declared before that handle.
#include <curl/curl.h>

#include <memory>

namespace curlx {

struct EasyCleanup {
  void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct SlistFree {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
struct MimeFree {
  void operator()(curl_mime* form) const noexcept { curl_mime_free(form); }
};
struct UrlCleanup {
  void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};

using Easy = std::unique_ptr<CURL, EasyCleanup>;
using Headers = std::unique_ptr<curl_slist, SlistFree>;
using Mime = std::unique_ptr<curl_mime, MimeFree>;
using Url = std::unique_ptr<CURLU, UrlCleanup>;

// Appends line to list; false (list unchanged) when libcurl cannot.
inline bool AppendHeader(Headers& list, const char* line) {
  curl_slist* grown = curl_slist_append(list.get(), line);
  if (grown == nullptr) return false;
  (void)list.release();  // grown is the same list, one entry longer
  list.reset(grown);
  return true;
}

}  // namespace curlx
