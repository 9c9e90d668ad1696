#pragma once
// The byte ranges of one slice that workers are fetching in the current run.
// An attempt at a slice starts as one part from its first missing byte to its
// last byte; an idle worker may take over the upper half of a part that still
// has much to fetch (the part is split), or a part that an earlier attempt
// left unfinished. Parts always tile the slice from the attempt's first byte
// to its last, so what is on disk contiguously from the start is known exactly.
// Kept in memory only; the task-info file records the contiguous prefix.
//
// Pure bookkeeping, no locking: the caller holds the package write lock around
// every call, because workers write and the dispatcher splits concurrently.
#include <cstdint>
#include <vector>

struct SlicePart {
  std::int64_t begin = 0;     // first byte
  std::int64_t limit = 0;     // last byte it may write (lowered by a split)
  std::int64_t writePos = 0;  // next byte to write; [begin, writePos) is on disk
  std::int64_t reserved = 0;  // end of the bytes a write in progress covers (>= writePos)
  bool claimed = false;       // a worker is fetching it

  std::int64_t left() const { return limit + 1 - writePos; }
  std::int64_t unreserved() const { return limit + 1 - reserved; }
  bool filled() const { return writePos > limit; }
};

class SliceParts {
 public:
  static constexpr int kNone = -1;

  // Starts an attempt on [from, last]. keep: the parts of an earlier attempt
  // still describe the file, so only their gaps are fetched again. Clears
  // the attempt's failure mark.
  void beginAttempt(std::int64_t from, std::int64_t last, bool keep);
  bool empty() const { return m_parts.empty(); }

  // Claims the first part that has bytes left and no worker; kNone when none.
  int claimGap();
  // How much an idle worker could take here: the largest unclaimed gap, else
  // the larger half-share of the claimed part with the most unreserved bytes
  // when that is at least minimum. 0 when the attempt failed or no worker is
  // on it (nothing in flight to help).
  std::int64_t helpSize(std::int64_t minimum, std::int64_t align) const;
  // Claims that help: the unclaimed gap, or a new part split off the upper
  // half of the busiest part at an align boundary. kNone when helpSize is 0.
  int takeHelp(std::int64_t minimum, std::int64_t align);
  // Where a part with unreserved bytes [from, limit] would be split; kNone
  // when fewer than minimum bytes remain.
  static std::int64_t SplitPoint(std::int64_t from, std::int64_t limit, std::int64_t minimum, std::int64_t align);

  // Gives back a part claimed by takeHelp that no worker took.
  void unclaim(int part) { m_parts[static_cast<std::size_t>(part)].claimed = false; }

  // A write of up to n bytes into part: returns how many may be written and
  // sets at to their offset; fewer than n once the part is filled or cut.
  std::int64_t reserve(int part, std::int64_t n, std::int64_t& at);
  // The reserved bytes of part: written of them reached the file.
  void commit(int part, std::int64_t written);
  // The worker leaves part (ok: it is filled). Claims and returns the next
  // gap for the same worker while the attempt goes well, else kNone; lastOut
  // tells whether no worker remains on the slice (the caller then settles it).
  int endFetch(int part, bool ok, int code, bool& lastOut);

  // First byte not on disk contiguously from the first part's begin.
  std::int64_t frontier() const;
  // Bytes on disk beyond the frontier.
  std::int64_t bytesAhead() const;
  bool complete() const;
  bool failed() const { return m_failed; }
  int failCode() const { return m_failCode; }
  bool anyClaimed() const;
  const SlicePart& part(int i) const { return m_parts[static_cast<std::size_t>(i)]; }
  int count() const { return static_cast<int>(m_parts.size()); }

 private:
  int busiestClaimed() const;
  int largestGap() const;

  std::vector<SlicePart> m_parts;  // in creation order: workers hold indices
  std::vector<int> m_order;        // indices of m_parts in byte order
  bool m_failed = false;
  int m_failCode = 0;
};
