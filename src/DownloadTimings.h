#pragma once
// Every time limit and size threshold of the download engine in one place.
// The defaults are the program's; tests inject short limits and a fake
// network check so that supervision paths run in seconds.
#include <atomic>
#include <chrono>
#include <memory>
#include <cstdint>
#include <functional>

struct DownloadTimings {
  std::int64_t noProgressMs = 60000;    // supervisor: downloaded bytes unchanged this long ends the run
  std::int64_t rangeTimeoutMs = 20000;  // whole-transfer limit of one ranged GET (pacing rule)
  std::int64_t rangeConnectTimeoutMs = 3000;
  std::int64_t probeTimeoutMs = 30000;  // one length probe, all its redirect hops together
  // A probe whose replies arrive slower than this many bytes a second for
  // probeLowSpeedMs ends: a server trickling headers cannot hold it for long.
  std::int64_t probeLowSpeedBytes = 64;
  std::int64_t probeLowSpeedMs = 10000;
  std::int64_t probeBudgetMs = 60000;      // no new length probe of a round starts after this long
  std::int64_t probeRetryPauseMs = 100;    // between length probe tries
  std::int64_t dispatcherWaitMs = 180000;  // supervisor's wait for the dispatch thread to end
  std::int64_t workerWaitMs = 30000;       // wait for each worker thread to end
  std::int64_t networkLostPauseMs = 1100;  // pause before reporting a lost network
  std::int64_t watchPeriodMs = 100;        // supervisor turn when nothing changes
  std::int64_t dispatchPeriodMs = 50;      // dispatch turn when no worker finishes
  std::int64_t retryPauseMs = 1000;        // a failed task is retried after this x its failures (at most 8x)
  // An idle worker, with no task pending, takes over the upper half of the
  // in-flight part with the most bytes left when at least this many remain
  // (0: never), splitting it on a multiple of splitAlignBytes.
  std::int64_t splitMinimumBytes = 524288;
  std::int64_t splitAlignBytes = 65536;
  // The install stops starting rounds once no byte has arrived for this long
  // across rounds: a dead or hostile server costs a user minutes, not hours.
  std::int64_t installStallMs = 900000;
  std::int64_t maxLengthBytes = 0;                  // a longer probed length fails the run before any byte (0: any)
  std::shared_ptr<const std::atomic<bool>> cancel;  // once set, the supervisor stops the run at its next turn
  std::function<bool()> networkAlive;               // empty: the machine's own check
  int workerCount = 0;                              // 0: the processor rule
};

// Milliseconds of a monotonic clock; 64 bits, so it never wraps.
inline std::int64_t TickCountMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
