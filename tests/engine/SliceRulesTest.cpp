#include <gtest/gtest.h>

#include <limits>

#include "SliceRules.h"

namespace {

constexpr std::int64_t MiB = 1048576;

TEST(SliceRules, SlicesAtFourMebibytesAndTheLastEndsAtTheLength) {
  const struct {
    std::int64_t length;
    std::vector<SliceRange> slices;
  } cases[] = {
      {10 * MiB, {{0, 4194303}, {4194304, 10485760}}},
      {3, {{0, 3}}},
      {8 * MiB, {{0, 4194303}, {4194304, 8388608}}},
      {4 * MiB - 1, {{0, 4 * MiB - 1}}},
      {12 * MiB + 1, {{0, 4194303}, {4194304, 8388607}, {8388608, 12 * MiB + 1}}},
      {0, {}},
  };
  for (const auto& c : cases) {
    const auto slices = MakeSlices(c.length);
    ASSERT_EQ(slices.size(), c.slices.size()) << c.length;
    for (std::size_t i = 0; i < slices.size(); ++i) {
      EXPECT_EQ(slices[i].start, c.slices[i].start) << c.length << " slice " << i;
      EXPECT_EQ(slices[i].end, c.slices[i].end) << c.length << " slice " << i;
    }
  }
}

TEST(SliceRules, FileAboveTwoGibibytesUsesSixtyFourBitPositions) {
  const std::int64_t length = 2147483648LL + 5 * MiB + 123;
  const auto slices = MakeSlices(length);
  ASSERT_EQ(slices.size(), 513u);
  EXPECT_EQ(slices[511].start, 2147483648LL - 4 * MiB);
  EXPECT_EQ(slices[511].end, 2147483647LL);
  EXPECT_EQ(slices[512].start, 2147483648LL);
  EXPECT_EQ(slices[512].end, length);
}

TEST(SliceRules, PositionsAndBytesOfASlice) {
  // Inner slice 0..99 of a 1000-byte file; last slice 100..1000.
  const struct {
    std::int64_t start, end, writePos, published, bytes;
  } cases[] = {
      {0, 99, 0, 0, 0},
      {0, 99, 50, 50, 50},
      {0, 99, 99, 98, 98},    // byte 99 still missing: never reported complete
      {0, 99, 100, 99, 100},  // complete
      {100, 1000, 500, 500, 400},
      {100, 1000, 1000, 1000, 900},  // last slice complete at the length
  };
  for (const auto& c : cases) {
    const std::int64_t published = PublishedPosition(c.end, 1000, c.writePos);
    EXPECT_EQ(published, c.published) << c.start << ".." << c.end << " at " << c.writePos;
    EXPECT_EQ(SliceBytesDone(c.start, c.end, published, 1000), c.bytes) << c.start << ".." << c.end;
  }
  EXPECT_EQ(SliceLastByte(99, 1000), 99);
  EXPECT_EQ(SliceLastByte(1000, 1000), 999);
}

TEST(SliceRules, ConsistencyOfASavedList) {
  const std::int64_t length = 10 * MiB;
  const SavedSlice first{0, 4194303, 100, 1, 2, true};
  const SavedSlice last{4194304, length, 4194304, 2, 0, true};
  const struct {
    const char* what;
    std::vector<SavedSlice> slices;
    std::int64_t packageSize;
    bool consistent;
  } cases[] = {
      {"sound", {first, last}, length, true},
      {"fresh list without package", {{0, 4194303, 0, 1, 0, true}, last}, -1, true},
      {"empty", {}, length, false},
      {"gap", {first, {4194305, length, 4194305, 2, 0, true}}, length, false},
      {"start off its id", {first, {4194304, length, 4194304, 3, 0, true}}, length, false},
      {"last not at length", {first, {4194304, length - 1, 4194304, 2, 0, true}}, length, false},
      {"position past its end", {{0, 4194303, 4194304, 1, 2, true}, last}, length, false},
      {"position before its start", {first, {4194304, length, 7, 2, 0, true}}, length, false},
      {"unknown status", {{0, 4194303, 100, 1, 7, true}, last}, length, false},
      {"no source", {{0, 4194303, 100, 1, 2, false}, last}, length, false},
      {"package shorter than the list claims", {first, last}, 99, false},
      {"package missing", {first, last}, -1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TaskListConsistent(c.slices, length, c.packageSize), c.consistent) << c.what;
  }
  // A damaged file whose one slice ends at the largest position.
  constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
  EXPECT_FALSE(TaskListConsistent({{0, kLargest, 0, 1, 1, true}}, kLargest, kLargest));
}

TEST(SliceRules, PlausiblePackageLengths) {
  constexpr std::int64_t TiB = std::int64_t{1} << 40;
  const struct {
    std::int64_t length;
    std::int64_t disk;
    bool plausible;
  } cases[] = {
      {1, 0, true},
      {TiB, 0, true},
      {TiB + 1, 0, false},
      {0, 0, false},
      {-1, 0, false},
      {INT64_MIN, 0, false},
      {INT64_MAX, 0, false},
      {9000000000000000000, 0, false},
      {1000, 1000, true},
      {1001, 1000, false},
      {TiB, 2 * TiB, true},
      {TiB + 1, 2 * TiB, false},
  };
  for (const auto& c : cases) EXPECT_EQ(PlausiblePackageLength(c.length, c.disk), c.plausible) << c.length << " " << c.disk;
}

TEST(SliceRules, SizeTexts) {
  const struct {
    std::int64_t bytes;
    const char* units;
    const char* text;
  } cases[] = {
      {0, "", "0.00B"},
      {5, "5B", "5B"},
      {1536, "1K512B", "1.5K"},
      {1048576, "1024K", "1024K"},
      {1572864, "1M512K", "1.5M"},
      {3LL << 30, "3G", "3G"},
      {1LL << 30, "1024M", "1024M"},
      {(3LL << 30) + 1, "3G1B", "3G"},
      {1048576 + 10 * 1024 + 3, "1M10K3B", "1M"},
      {-7, "", "0.00B"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSizeUnits(c.bytes), c.units) << c.bytes;
    EXPECT_EQ(FormatSizeText(c.bytes), c.text) << c.bytes;
  }
}

TEST(SliceRules, WorkerCountIsProcessorsTimesEightFifthsAtLeastFour) {
  const std::pair<int, int> cases[] = {{1, 4}, {2, 4}, {3, 4}, {4, 6}, {8, 12}, {16, 25}};
  for (const auto& [processors, workers] : cases) EXPECT_EQ(WorkerCountFor(processors), workers) << processors;
}

}  // namespace
