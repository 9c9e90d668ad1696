#pragma once
// The download engine's HTTP client: one libcurl easy handle, five blocking
// operations. Every result is a libcurl code (or the integers stated); nothing
// throws. One object belongs to one thread at a time. Every operation speaks
// http and https only, for the first request and every redirect, follows at
// most 5 redirects and has a whole-transfer time limit.
#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "CurlOwners.h"
#include "DownloadTimings.h"
#include "HttpHeaderText.h"
#include "RangeSink.h"

// A reply to a request for several slices carries on past the first slice
// only when it is a 206 of exactly the range asked for.
bool StreamReplyMatches(const RangeTransfer& transfer);
// Marks the run's slices as to be asked for one at a time (logged once).
void RefuseStream(const RangeTransfer& transfer, const char* why);

class CLibcurlTool {
 public:
  explicit CLibcurlTool(const DownloadTimings& timings = DownloadTimings{});
  CLibcurlTool(const CLibcurlTool&) = delete;
  CLibcurlTool& operator=(const CLibcurlTool&) = delete;

  // Ranged GET of bytes start..end (inclusive) of url into sink at their
  // own offsets, advancing the parts of the sink's transfer record. The
  // fourth argument is unused.
  CURLcode httpDownloadContent(const std::string& url, std::int64_t start, std::int64_t end,
                               std::int64_t unused, IRangeSink* sink);

  // Header probe: header (caller buffer of kHeaderBufferSize bytes) receives
  // the raw headers of every hop, first hop first, at most that many bytes
  // and not terminated when full; statusCode receives the last status.
  static constexpr std::size_t kHeaderBufferSize = 2000;
  CURLcode httpGet(const std::string& url, std::int64_t start, std::int64_t end, int flag, char* header,
                   long& statusCode);
  CURLcode httpGet(const std::string& url, char* header, long& statusCode);
  // The same probe, whole header text (no 2000-byte cut; at most 1 MiB),
  // within timeoutMs (0: the timings' probe limit).
  CURLcode httpGetHeaders(const std::string& url, std::string& headers, long& statusCode,
                          std::int64_t timeoutMs = 0);

  // Small GET: body receives the response body. A body over 1 MiB (after
  // decoding) fails the transfer and leaves body empty. flag is unused.
  CURLcode httpGet(const std::string& url, std::string& body, bool flag);

  // POST of body with libcurl's default form content type; response receives
  // the reply body. Returns the libcurl code.
  static int HttpPost(const std::string& url, const std::string& body, std::string& response,
                      const std::string& extra);

  // Logs the message of a failed code; always 1.
  static int figureError(CURLcode code);

  // libcurl callbacks of the ranged GET; userdata is the IRangeSink.
  static size_t HeaderCallback(char* buffer, size_t size, size_t count, void* sink);
  static size_t downloadFunc(char* buffer, size_t size, size_t count, void* sink);
  // Stops a transfer once any reply of the run showed the remote file changed.
  static int ProgressCallback(void* sink, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  // CA bundle every transfer verifies against; empty (default) means the
  // system store. Tests point it at a CA they made.
  static void SetCaBundle(const std::string& path);
  static std::string CaBundle();

 private:
  CURLcode setVerification(const std::string& url);
  // GET (or HEAD with headersOnly, headers into out) following redirects.
  CURLcode fetchToString(const std::string& url, std::string& out, bool headersOnly, std::int64_t timeoutMs);
  static constexpr std::int64_t kSmallGetTimeoutMs = 5000;
  curlx::Headers m_rangeHeaders;  // outlives the handle that may point to it
  curlx::Easy m_curl;
  DownloadTimings m_timings;
};

// Multipart upload of the file at path to the log-upload endpoint. 0 on
// success, -1 for a path under 5 characters, -2 without a transfer handle, -3
// when the transfer fails or the status is not 200.
int UploadLogFile(std::string path, std::string fileName, std::string productId, std::string version,
                  std::string catalogue);

// Name sent for a file without one: "NoName_" + 17-digit local time + the
// path's extension (".tmp" when it has none).
std::string MakeUploadFileName(const std::string& path);

// Endpoint of UploadLogFile; tests point it at a loopback server.
void SetLogUploadEndpoint(const std::string& url);
std::string LogUploadEndpoint();

// Resolves a Location value (absolute or relative) against the URL that sent
// it; the value itself when it cannot be resolved.
std::string ResolveLocation(const std::string& base, const std::string& location);
