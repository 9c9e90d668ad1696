#include "HttpHeaderText.h"

#include <cctype>

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// Calls visit(line) for each line of a header text, line ends removed.
template <typename Visit>
bool ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (visit(WithoutLineEnd(line))) return true;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace

int StatusOfLine(std::string_view line) {
  if (line.substr(0, 5) != "HTTP/") return 0;
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return 0;
  int status = 0;
  std::size_t i = blank + 1;
  for (; i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i) {
    status = status * 10 + (line[i] - '0');
    if (status > 999) return 0;
  }
  return i == blank + 1 ? 0 : status;
}

bool HeaderNameIs(std::string_view line, std::string_view name) {
  const std::size_t colon = line.find(':');
  return colon != std::string_view::npos && EqualsNoCase(line.substr(0, colon), name);
}

std::string_view HeaderRawValue(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return WithoutLineEnd(line.substr(colon + 1));
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string FindHeaderRaw(std::string_view headers, std::string_view name, bool* found) {
  std::string value;
  const bool hit = ForEachLine(headers, [&](std::string_view line) {
    if (!HeaderNameIs(line, name)) return false;
    value = std::string(HeaderRawValue(line));
    return true;
  });
  if (found != nullptr) *found = hit;
  return value;
}

std::int64_t ParseDecimal64(std::string_view text) {
  text = TrimBlanks(text);
  std::int64_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value > (INT64_MAX - 9) / 10) return 0;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

ContentRange ParseContentRange(std::string_view value) {
  ContentRange range;
  value = TrimBlanks(value);
  if (value.substr(0, 6) != "bytes ") return range;
  value.remove_prefix(6);
  const std::size_t dash = value.find('-');
  const std::size_t slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash) return range;
  const std::string_view first = value.substr(0, dash);
  const std::string_view last = value.substr(dash + 1, slash - dash - 1);
  if (first.empty() || last.empty() || !std::isdigit(static_cast<unsigned char>(first[0])) ||
      !std::isdigit(static_cast<unsigned char>(last[0])))
    return range;
  range.first = ParseDecimal64(first);
  range.last = ParseDecimal64(last);
  const std::string_view total = TrimBlanks(value.substr(slash + 1));
  range.total = !total.empty() && std::isdigit(static_cast<unsigned char>(total[0])) ? ParseDecimal64(total) : -1;
  range.valid = range.last >= range.first;
  return range;
}

ProbeCdn FindProbeCdn(std::string_view headers) {
  ProbeCdn cdn;
  bool hasStatus = false;
  bool hasRay = false;
  const std::string status = FindHeaderRaw(headers, "CF-Cache-Status", &hasStatus);
  const std::string ray = FindHeaderRaw(headers, "CF-RAY", &hasRay);
  const std::size_t dash = ray.find('-');
  if (hasStatus && hasRay && dash != std::string::npos) {
    cdn.cloudflare = true;
    cdn.cacheStatus = status;
    cdn.dataCentre = ray.substr(dash + 1);
    return cdn;
  }
  const std::string xCache = FindHeaderRaw(headers, "X-Cache", &cdn.xCache);
  cdn.xCacheValue = std::string(TrimBlanks(xCache));
  return cdn;
}

std::int64_t LengthFromProbeHeaders(std::string_view headers) {
  bool found = false;
  const std::string range = FindHeaderRaw(headers, "Content-Range", &found);
  if (found) {
    const std::size_t slash = range.find('/');
    return slash == std::string::npos ? 0 : ParseDecimal64(std::string_view(range).substr(slash + 1));
  }
  const std::string length = FindHeaderRaw(headers, "Content-Length", &found);
  return found ? ParseDecimal64(length) : 0;
}

bool UpdateCdnStatus(std::string& cdnStatus, const std::string& cdnAtStart, std::string_view line) {
  line = WithoutLineEnd(line);
  std::string joined;
  if (HeaderNameIs(line, "CF-RAY")) {
    const std::string_view value = HeaderRawValue(line);
    const std::size_t dash = value.find('-');
    if (dash == std::string_view::npos) return false;
    const std::string code(value.substr(dash + 1));
    if (cdnStatus.empty()) {
      cdnStatus = code;
      return true;
    }
    joined = code + "/" + cdnStatus;
  } else if (HeaderNameIs(line, "CF-Cache-Status")) {
    const std::string value(TrimBlanks(HeaderRawValue(line)));
    if (cdnStatus.empty()) {
      cdnStatus = value;
      return true;
    }
    joined = cdnStatus + "/" + value;
  } else {
    return false;
  }
  cdnStatus = joined == cdnAtStart ? std::string() : joined;
  return true;
}

RangeTotalCheck CheckRangeTotal(std::string_view line, std::int64_t contentLength) {
  if (!HeaderNameIs(WithoutLineEnd(line), "Content-Range")) return RangeTotalCheck::NotContentRange;
  const std::string_view value = HeaderRawValue(line);
  const std::size_t slash = value.rfind('/');
  if (slash == std::string_view::npos) return RangeTotalCheck::NoTotal;
  return ParseDecimal64(value.substr(slash + 1)) == contentLength ? RangeTotalCheck::Matches
                                                                  : RangeTotalCheck::Differs;
}

namespace {
// A validator is echoed in If-Range: an oversized one is not used at all.
constexpr std::size_t kValidatorLimit = 256;
std::string BoundedValidator(std::string_view raw) {
  const std::string_view value = TrimBlanks(raw);
  return value.size() > kValidatorLimit ? std::string() : std::string(value);
}
}  // namespace

void RangeReplyOnLine(RangeReply& reply, std::string_view line) {
  line = WithoutLineEnd(line);
  if (const int status = StatusOfLine(line); status != 0) {
    reply = RangeReply{};
    reply.status = status;
    return;
  }
  if (HeaderNameIs(line, "Content-Range")) {
    reply.hasContentRange = true;
    reply.range = ParseContentRange(HeaderRawValue(line));
  } else if (HeaderNameIs(line, "ETag")) {
    reply.validators.etag = BoundedValidator(HeaderRawValue(line));
  } else if (HeaderNameIs(line, "Last-Modified")) {
    reply.validators.lastModified = BoundedValidator(HeaderRawValue(line));
  } else if (line.empty() && reply.status != 0) {
    reply.headersEnded = true;
  }
}

Validators FinalHopValidators(std::string_view headers) {
  // The last status line starts the final hop's block.
  std::size_t from = 0;
  for (std::size_t at = 0; at < headers.size();) {
    const std::size_t end = headers.find('\n', at);
    const std::size_t stop = end == std::string_view::npos ? headers.size() : end;
    if (StatusOfLine(WithoutLineEnd(headers.substr(at, stop - at))) != 0) from = at;
    at = stop + 1;
  }
  const std::string_view hop = headers.substr(from);
  Validators found;
  found.etag = BoundedValidator(FindHeaderRaw(hop, "ETag"));
  found.lastModified = BoundedValidator(FindHeaderRaw(hop, "Last-Modified"));
  return found;
}

bool ValidatorsDiffer(const Validators& probed, const Validators& reply) {
  if (!probed.etag.empty() && !reply.etag.empty()) return probed.etag != reply.etag;
  if (!probed.lastModified.empty() && !reply.lastModified.empty()) return probed.lastModified != reply.lastModified;
  return false;
}

std::string IfRangeValue(const Validators& probed) {
  if (!probed.etag.empty() && probed.etag.rfind("W/", 0) != 0) return probed.etag;
  return probed.lastModified;
}

bool RangeReplyAcceptable(const RangeReply& reply, std::int64_t requestedStart) {
  if (reply.status == 206) return reply.range.valid && reply.range.first == requestedStart;
  return reply.status == 200 && requestedStart == 0;
}
