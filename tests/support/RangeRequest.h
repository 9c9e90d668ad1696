#pragma once
// How the loopback test server reads a Range header: one "bytes=first-last"
// or "bytes=first-" span. Anything else (absent, malformed, a suffix
// "bytes=-n", several spans, last before first) is ignored and the whole body
// is served, as a server may do with a range it does not take.
#include <cstdint>
#include <string>

struct RangeAsk {
  enum class Kind { kWhole,
                    kPart,
                    kPastEnd };
  Kind kind = Kind::kWhole;
  std::int64_t first = 0;  // kPart: the span asked, last clipped to the body
  std::int64_t last = -1;
  bool ranged() const { return kind != Kind::kWhole; }
};

// kPastEnd when the span starts at or after the end of a body of length bytes
// (the server answers 416 unless its options say otherwise).
RangeAsk ParseRangeAsk(const std::string& header, std::int64_t length);
