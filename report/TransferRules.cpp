#include "TransferRules.h"

namespace transfer {

CURLcode RestrictToWeb(CURL* curl, long maxRedirects) {
  CURLcode rc = curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_MAXREDIRS, maxRedirects);
  return rc;
}

size_t AppendCapped(char* data, size_t size, size_t count, void* cappedBody) {
  auto* body = static_cast<CappedBody*>(cappedBody);
  const size_t n = size * count;
  const std::size_t held = body->text->size();
  if (held > body->limit || n > body->limit - held) {
    body->exceeded = true;
    return 0;
  }
  body->text->append(data, n);
  return n;
}

CURLcode CollectCapped(CURL* curl, CappedBody& body) {
  CURLcode rc = curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendCapped);
  if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  if (rc == CURLE_OK) {
    rc = curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(body.limit));
  }
  return rc;
}

}  // namespace transfer
