// The transfer layer on its own: a ranged GET from a loopback server into a
// sink that only records what it is given, no worker and no package file.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CLibcurlTool.h"
#include "CTask.h"
#include "EngineFixture.h"
#include "RangeSink.h"
#include "support/TestHttpServer.h"

namespace {

constexpr std::int64_t kLength = 65536;
constexpr char kUntouched = '\xEE';

// Holds the "package" in memory and records every positioned write.
class RecordingSink : public IRangeSink {
 public:
  RecordingSink() : bytes(static_cast<std::size_t>(kLength), kUntouched) {}
  RangeTransfer& transfer() override { return record; }
  std::timed_mutex& writeMutex() override { return mutex; }
  std::size_t writeAt(const char* data, std::size_t size, std::int64_t offset) override {
    writes.emplace_back(offset, size);
    const std::size_t room = offset < kLength ? static_cast<std::size_t>(kLength - offset) : 0;
    const std::size_t n = std::min(size, room);
    if (n > 0) std::memcpy(bytes.data() + offset, data, n);
    return n;
  }
  bool enterNextSlice() override {
    ++nextSliceAsks;
    return false;
  }

  RangeTransfer record;
  std::timed_mutex mutex;
  std::string bytes;
  std::vector<std::pair<std::int64_t, std::size_t>> writes;
  int nextSliceAsks = 0;
};

struct Case {
  const char* name;
  std::int64_t start;
  std::int64_t last;
  ServeOptions options;
  bool filled;       // the part ends full
  std::int64_t got;  // bytes that reach the sink, from start on
  int nextSliceAsks;
};

class RangeSinkTest : public EngineTest {
 protected:
  // One slice [start, last] of a generated file, fetched by the tool alone.
  CURLcode Fetch(const Case& c, CTask& task, RecordingSink& sink) {
    const std::string path = UniquePath("package.bin");
    server_.ServeGenerated(path, kLength, c.options);
    task.StartPos = c.start;
    task.EndPos = c.last;
    task.DownloadedPos = c.start;
    task.ContentLength = kLength;
    task.RemotePath = server_.Url(path);
    task.BeginAttempt();
    RangeTransfer& t = sink.record;
    t.task = &task;
    t.part = task.Parts.claimGap();
    t.requestStart = c.start;
    t.requestLast = c.last;
    t.requestEnd = c.last;
    CLibcurlTool tool(FastTimings());
    return tool.httpDownloadContent(task.RemotePath, c.start, c.last, 0, &sink);
  }

  TestHttpServer server_;
};

TEST_F(RangeSinkTest, BytesLandAtTheirOffsetsAndNothingElseIsTouched) {
  ServeOptions whole;
  whole.ignoreRange = true;  // 200 with the whole file: longer than asked
  ServeOptions cut;
  cut.dropAfterBytes = 3000;
  const std::vector<Case> cases = {
      {"asked range", 1000, 20999, {}, true, 20000, 0},
      {"200 of the whole file from offset 0", 0, 9999, whole, true, 10000, 1},
      {"200 of the whole file from an inner offset", 1000, 9999, whole, false, 0, 0},
      {"cut reply", 1000, 20999, cut, false, 3000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTask task;
    RecordingSink sink;
    const CURLcode code = Fetch(c, task, sink);
    const SlicePart& part = task.Parts.part(sink.record.part);
    EXPECT_EQ(part.filled(), c.filled);
    EXPECT_EQ(part.writePos, c.start + c.got);
    EXPECT_EQ(sink.nextSliceAsks, c.nextSliceAsks);
    // Writes run on from the start without gaps or overlaps.
    std::int64_t at = c.start;
    for (const auto& [offset, size] : sink.writes) {
      EXPECT_EQ(offset, at);
      at += static_cast<std::int64_t>(size);
    }
    EXPECT_EQ(at, c.start + c.got);
    const auto n = static_cast<std::size_t>(c.got);
    EXPECT_EQ(sink.bytes.substr(static_cast<std::size_t>(c.start), n), GeneratedBytes(c.start, n));
    EXPECT_EQ(sink.bytes.substr(0, static_cast<std::size_t>(c.start)),
              std::string(static_cast<std::size_t>(c.start), kUntouched));
    const std::size_t after = static_cast<std::size_t>(c.start) + n;
    EXPECT_EQ(sink.bytes.substr(after), std::string(sink.bytes.size() - after, kUntouched));
    // A full part ends the transfer on purpose; anything else that stops
    // short is a failure the worker retries.
    if (c.filled) {
      EXPECT_TRUE(code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.record.rangeFilled)) << code;
    } else {
      EXPECT_NE(code, CURLE_OK);
    }
  }
}

}  // namespace
