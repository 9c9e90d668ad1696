#pragma once
// Pure reading of raw HTTP response headers as libcurl hands them over: one
// line at a time to a header callback, or every hop's header block joined in
// one text by a probe. Header names match without regard to case (HTTP/2
// sends them in lower case); values are taken as sent.
#include <cstdint>
#include <string>
#include <string_view>

// Status of a status line ("HTTP/1.1 206 Partial Content", "HTTP/2 200"); 0
// for any other line.
int StatusOfLine(std::string_view line);

// True when line is the header field `name` (the text before its colon).
bool HeaderNameIs(std::string_view line, std::string_view name);

// Everything after the colon up to the line end, leading blank included.
std::string_view HeaderRawValue(std::string_view line);
std::string_view TrimBlanks(std::string_view text);

// Value of the first header `name` in a header text, raw (after the colon,
// without the line end); found tells whether it was there.
std::string FindHeaderRaw(std::string_view headers, std::string_view name, bool* found = nullptr);

// Decimal 64-bit number after leading blanks; 0 when unreadable.
std::int64_t ParseDecimal64(std::string_view text);

// "bytes first-last/total"; total is -1 when "*" or unreadable.
struct ContentRange {
  bool valid = false;
  std::int64_t first = -1;
  std::int64_t last = -1;
  std::int64_t total = -1;
};
ContentRange ParseContentRange(std::string_view value);

// ---- length probe --------------------------------------------------------

// CDN facts of a probe's header text: Cloudflare's cache status (raw, with
// its leading blank) and data-centre code, or else the X-Cache value.
struct ProbeCdn {
  bool cloudflare = false;
  std::string cacheStatus;
  std::string dataCentre;
  bool xCache = false;
  std::string xCacheValue;
};
ProbeCdn FindProbeCdn(std::string_view headers);

// Total of Content-Range when present, else Content-Length, else 0.
std::int64_t LengthFromProbeHeaders(std::string_view headers);

// ---- ranged GET, one header line at a time --------------------------------

// Folds a Cloudflare header line into the slice's CDN status text: CF-RAY's
// data-centre code goes in front, CF-Cache-Status's value behind, joined by
// "/". A joined text equal to the CDN result learnt with the length is
// cleared. False (text unchanged) for any other line.
bool UpdateCdnStatus(std::string& cdnStatus, const std::string& cdnAtStart, std::string_view line);

// Content-Range total check of one header line against the whole-file length.
enum class RangeTotalCheck { NotContentRange,
                             Matches,
                             Differs,
                             NoTotal };
RangeTotalCheck CheckRangeTotal(std::string_view line, std::int64_t contentLength);

// What the current response of a ranged GET said about itself.
// Validators of one response: what tells one version of a file from another.
struct Validators {
  std::string etag;  // as sent, W/ prefix included
  std::string lastModified;
  bool empty() const { return etag.empty() && lastModified.empty(); }
};
// Validators of the last hop in a probe's header text (redirect hops may carry their own).
Validators FinalHopValidators(std::string_view headers);
// True when both name a validator of the same kind (ETag first, else
// Last-Modified) and they differ; a validator one side lacks proves nothing.
bool ValidatorsDiffer(const Validators& probed, const Validators& reply);
// Value for If-Range: a strong ETag, else Last-Modified, else empty (a weak
// ETag may not be used there).
std::string IfRangeValue(const Validators& probed);

struct RangeReply {
  int status = 0;
  bool hasContentRange = false;
  ContentRange range;
  Validators validators;
  bool headersEnded = false;  // the blank line after this response's headers was seen
};
// Feeds one header line; a status line starts a new response (redirect hops).
void RangeReplyOnLine(RangeReply& reply, std::string_view line);
// Only the asked-for bytes may be written: a 206 whose range starts at the
// requested position, or a 200 when the request started at 0.
bool RangeReplyAcceptable(const RangeReply& reply, std::int64_t requestedStart);
