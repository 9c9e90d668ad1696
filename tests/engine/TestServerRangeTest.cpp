// The loopback server's reading of a Range header: the spans engine tests
// rely on, and the malformed ones that once threw inside the handler or gave a
// negative body length.
#include <gtest/gtest.h>

#include "support/RangeRequest.h"

namespace {

using Kind = RangeAsk::Kind;

TEST(TestServerRange, HeaderToSpan) {
  const struct {
    const char* header;
    Kind kind;
    std::int64_t first;
    std::int64_t last;
  } cases[] = {
      {"", Kind::kWhole, 0, -1},
      {"bytes=0-99", Kind::kPart, 0, 99},
      {"bytes=100-", Kind::kPart, 100, 999},                 // open-ended
      {"bytes=900-5000", Kind::kPart, 900, 999},             // clipped to the body
      {"bytes=999-999", Kind::kPart, 999, 999},              // last byte
      {"bytes=1000-1100", Kind::kPastEnd, 1000, 1100},       // starts at the end
      {"bytes=5000-", Kind::kPastEnd, 5000, 999},            // open-ended past the end
      {"bytes=-100", Kind::kWhole, 0, -1},                   // suffix: not taken
      {"bytes=0-9,20-29", Kind::kWhole, 0, -1},              // several spans: not taken
      {"bytes=50-10", Kind::kWhole, 0, -1},                  // last before first
      {"bytes=a-b", Kind::kWhole, 0, -1},                    // not numbers
      {"bytes=1-+5", Kind::kWhole, 0, -1},                   // signed
      {"bytes=0-99 ", Kind::kWhole, 0, -1},                  // trailing text
      {"bytes=99999999999999999999-", Kind::kWhole, 0, -1},  // overflows
      {"items=0-99", Kind::kWhole, 0, -1},                   // another unit
      {"bytes=", Kind::kWhole, 0, -1},
  };
  for (const auto& c : cases) {
    const RangeAsk ask = ParseRangeAsk(c.header, 1000);
    EXPECT_EQ(ask.kind, c.kind) << c.header;
    if (ask.kind == Kind::kWhole) continue;
    EXPECT_EQ(ask.first, c.first) << c.header;
    EXPECT_EQ(ask.last, c.last) << c.header;
  }
}

TEST(TestServerRange, EmptyBodyHasNoSatisfiableSpan) {
  EXPECT_EQ(ParseRangeAsk("bytes=0-", 0).kind, Kind::kPastEnd);
  EXPECT_EQ(ParseRangeAsk("", 0).kind, Kind::kWhole);
}

}  // namespace
