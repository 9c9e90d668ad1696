#pragma once
// Consecutive slices one worker streams with one ranged request, so a
// connection waits one round trip per run instead of one per slice. The run
// is cut at slice boundaries as bytes arrive: each slice is settled on its
// own as it fills, so a cut connection costs at most the slice in progress.
// The dispatcher may take unstarted slices off the run's tail for idle
// workers; current and last are guarded by the package write lock.
#include <algorithm>
#include <cstdint>
#include <vector>

class CTask;

struct SliceRun {
  std::vector<CTask*> tasks;  // consecutive slices in byte order; fixed once handed out
  int current = 0;            // slice the worker is on (or starts next)
  int last = 0;               // last slice still in the run
  bool stopping = false;      // the round is stopping: no further slice is started

  // Slices after the current one that no worker has started.
  int unstarted() const { return std::max(last - current, 0); }
};

// At most this many slices (32 MiB) go to one worker at a time.
inline constexpr int kMaxRunSlices = 8;

// Slices per run when pending slices are shared among workers: an even
// share, so no worker hoards what others could fetch, and at most the cap.
inline int RunLength(std::int64_t pending, std::int64_t workers) {
  if (pending <= 0) return 0;
  const std::int64_t share = workers > 0 ? (pending + workers - 1) / workers : 1;
  return static_cast<int>(std::clamp<std::int64_t>(share, 1, kMaxRunSlices));
}
