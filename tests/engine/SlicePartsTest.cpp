// Bookkeeping of the parts of one slice: splits, gaps, the contiguous prefix.
#include <gtest/gtest.h>

#include "SliceParts.h"

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t kMinimum = 512 * KiB;
constexpr std::int64_t kAlign = 64 * KiB;

// Writes n bytes into part i as a transfer would.
void Write(SliceParts& parts, int i, std::int64_t n) {
  std::int64_t at = 0;
  const std::int64_t allowed = parts.reserve(i, n, at);
  parts.commit(i, allowed);
}

TEST(SliceParts, SplitPointIsTheMiddleOfWhatRemainsOnTheGridAndNeverBelowTheMinimum) {
  const struct {
    std::int64_t from, limit, minimum, align, point;
  } cases[] = {
      {0, 4194303, kMinimum, kAlign, 2097152},                 // whole slice: its middle
      {100000, 4194303, kMinimum, kAlign, 2097152},            // middle 2147152 rounds down to the grid
      {0, kMinimum - 2, kMinimum, kAlign, SliceParts::kNone},  // one byte short of the minimum
      {0, kMinimum - 1, kMinimum, kAlign, 256 * KiB},          // exactly the minimum
      {4194304 - kMinimum, 4194303, kMinimum, kAlign, 4194304 - 256 * KiB},
      {0, 4194303, 0, kAlign, SliceParts::kNone},  // splitting off
      {10, 20, 4, 64, SliceParts::kNone},          // no grid line inside
      {10, 20, 4, 1, 15},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SliceParts::SplitPoint(c.from, c.limit, c.minimum, c.align), c.point)
        << c.from << "-" << c.limit << " min " << c.minimum;
  }
}

TEST(SliceParts, HelperTakesTheUpperHalfAndTheOwnerStopsAtTheSplit) {
  SliceParts parts;
  parts.beginAttempt(0, 4194303, false);
  const int owner = parts.claimGap();
  ASSERT_EQ(owner, 0);
  Write(parts, owner, 1000);
  EXPECT_GT(parts.helpSize(kMinimum, kAlign), 0);
  const int helper = parts.takeHelp(kMinimum, kAlign);
  ASSERT_NE(helper, SliceParts::kNone);
  EXPECT_EQ(parts.part(helper).begin, 2097152);
  EXPECT_EQ(parts.part(helper).limit, 4194303);
  EXPECT_EQ(parts.part(owner).limit, 2097151);

  // The helper's bytes are ahead of the prefix until the owner reaches them.
  Write(parts, helper, 5000);
  EXPECT_EQ(parts.frontier(), 1000);
  EXPECT_EQ(parts.bytesAhead(), 5000);
  // The owner may not write past the split.
  std::int64_t at = 0;
  EXPECT_EQ(parts.reserve(owner, 4194304, at), 2097152 - 1000);
  EXPECT_EQ(at, 1000);
  parts.commit(owner, 2097152 - 1000);
  EXPECT_EQ(parts.frontier(), 2097152 + 5000);
  EXPECT_EQ(parts.bytesAhead(), 0);

  bool last = true;
  EXPECT_EQ(parts.endFetch(owner, true, 0, last), SliceParts::kNone);
  EXPECT_FALSE(last);  // the helper is still on the slice
  Write(parts, helper, 4194304);
  EXPECT_EQ(parts.endFetch(helper, true, 0, last), SliceParts::kNone);
  EXPECT_TRUE(last);
  EXPECT_TRUE(parts.complete());
  EXPECT_EQ(parts.frontier(), 4194304);
}

TEST(SliceParts, ASplitNeverCutsIntoBytesAWriteHasReserved) {
  SliceParts parts;
  parts.beginAttempt(0, 1048575, false);
  const int owner = parts.claimGap();
  std::int64_t at = 0;
  // A write of 600 KiB is on its way to the file.
  ASSERT_EQ(parts.reserve(owner, 600 * KiB, at), 600 * KiB);
  // What is left unreserved (424 KiB) is below the minimum.
  EXPECT_EQ(parts.helpSize(kMinimum, kAlign), 0);
  EXPECT_EQ(parts.takeHelp(kMinimum, kAlign), SliceParts::kNone);
  parts.commit(owner, 600 * KiB);
  EXPECT_EQ(parts.frontier(), 600 * KiB);
}

TEST(SliceParts, FailedHelperLeavesAGapThatTheNextAttemptResumes) {
  SliceParts parts;
  parts.beginAttempt(0, 4194303, false);
  const int owner = parts.claimGap();
  const int helper = parts.takeHelp(kMinimum, kAlign);
  Write(parts, helper, 100000);
  bool last = true;
  EXPECT_EQ(parts.endFetch(helper, false, 22, last), SliceParts::kNone);
  EXPECT_FALSE(last);
  EXPECT_TRUE(parts.failed());
  // No help is offered on a failing attempt.
  EXPECT_EQ(parts.helpSize(kMinimum, kAlign), 0);
  Write(parts, owner, 2097152);
  // The owner finished its part but takes no other gap in a failed attempt.
  EXPECT_EQ(parts.endFetch(owner, true, 0, last), SliceParts::kNone);
  EXPECT_TRUE(last);
  EXPECT_FALSE(parts.complete());
  EXPECT_EQ(parts.failCode(), 22);
  EXPECT_EQ(parts.frontier(), 2097152 + 100000);

  // The retry keeps what is known and fetches only the gap.
  parts.beginAttempt(2097152 + 100000, 4194303, true);
  EXPECT_FALSE(parts.failed());
  const int again = parts.claimGap();
  ASSERT_EQ(again, helper);
  EXPECT_EQ(parts.part(again).writePos, 2097152 + 100000);
  Write(parts, again, 4194304);
  EXPECT_EQ(parts.endFetch(again, true, 0, last), SliceParts::kNone);
  EXPECT_TRUE(last);
  EXPECT_TRUE(parts.complete());
}

TEST(SliceParts, IdleWorkerTakesAnUnclaimedGapBeforeSplitting) {
  SliceParts parts;
  parts.beginAttempt(0, 4194303, false);
  const int owner = parts.claimGap();
  const int helper = parts.takeHelp(kMinimum, kAlign);
  bool last = false;
  parts.endFetch(helper, false, 28, last);
  Write(parts, owner, 2097152);
  parts.endFetch(owner, true, 0, last);
  ASSERT_TRUE(last);

  parts.beginAttempt(parts.frontier(), 4194303, true);
  // Nothing in flight yet: nothing to help with.
  EXPECT_EQ(parts.helpSize(kMinimum, kAlign), 0);
  const int first = parts.claimGap();
  EXPECT_EQ(first, helper);
  const int split = parts.takeHelp(kMinimum, kAlign);
  ASSERT_NE(split, SliceParts::kNone);
  EXPECT_EQ(parts.part(split).begin, 2097152 + 1048576);
}

}  // namespace
