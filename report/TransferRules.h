#pragma once
// Rules every libcurl handle of the program follows, in the engine and in the
// reporting module: only http and https, for the first request and for every
// redirect; a bounded redirect chain; a reply kept in memory never grows past
// its cap (counted after content decoding, so a compressed bomb stops too).
#include <curl/curl.h>

#include <cstddef>
#include <string>

namespace transfer {

inline constexpr long kMaxRedirects = 5;
inline constexpr std::size_t kSmallReplyLimit = std::size_t{1} << 20;  // 1 MiB

// Allows http and https only (first request and redirects) and at most
// maxRedirects redirects. CURLE_OK, or the code of the setting that failed:
// a handle that cannot be restricted must not be used.
CURLcode RestrictToWeb(CURL* curl, long maxRedirects = kMaxRedirects);

// A reply body collected in memory, at most limit bytes.
struct CappedBody {
  std::string* text = nullptr;
  std::size_t limit = kSmallReplyLimit;
  bool exceeded = false;
};

// libcurl write callback; userdata is a CappedBody. A block that would take
// the text past its limit is refused, which ends the transfer with
// CURLE_WRITE_ERROR and sets exceeded.
size_t AppendCapped(char* data, size_t size, size_t count, void* cappedBody);

// Sets the write callback and data for body, and refuses up front a reply
// whose announced length is already over the limit (CURLE_FILESIZE_EXCEEDED).
// Not for header probes: their announced length is the point of asking.
CURLcode CollectCapped(CURL* curl, CappedBody& body);

}  // namespace transfer
