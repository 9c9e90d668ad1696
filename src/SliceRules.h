#pragma once
// Pure rules of the segmented download: slicing a remote file into 4 MiB
// tasks, what a slice's positions mean, the consistency of a saved task list,
// size texts and the worker count. No I/O here.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::int64_t kSliceSize = 4194304;
inline constexpr int kTaskNew = 0;
inline constexpr int kTaskComplete = 1;
inline constexpr int kTaskFailed = 2;
inline constexpr int kTaskHandedOut = 3;
// No package is larger: a length past it is a server's lie, not a download.
inline constexpr std::int64_t kMaxPackageLength = std::int64_t{1} << 40;  // 1 TiB

struct SliceRange {
  std::int64_t start = 0;
  std::int64_t end = 0;
};

// count = length / 4 MiB (1 when that is 0); slice i spans (i-1)*4 MiB to
// i*4 MiB - 1, except the last, which ends at the length itself and takes the
// remainder. Empty for a length <= 0.
std::vector<SliceRange> MakeSlices(std::int64_t contentLength);

// A slice's EndPos is its last byte, except for the last slice of the file,
// whose EndPos is the file length (one past its last byte).
std::int64_t SliceLastByte(std::int64_t endPos, std::int64_t contentLength);

// DownloadedPos to publish once every byte before writePos has been written.
// The slice is complete exactly when the result equals endPos; a slice whose
// own last byte is still missing never reports endPos (it stops one short so
// the resume re-requests that byte).
std::int64_t PublishedPosition(std::int64_t endPos, std::int64_t contentLength, std::int64_t writePos);

// Bytes of the slice really on disk according to its positions.
std::int64_t SliceBytesDone(std::int64_t startPos, std::int64_t endPos, std::int64_t downloadedPos,
                            std::int64_t contentLength);

// One task as read from the task-info file.
struct SavedSlice {
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::int64_t downloaded = 0;
  int id = 0;
  int status = 0;
  bool hasRemotePath = true;
};

// The saved list describes the file: non-empty, each StartPos at
// (TaskId-1)*4 MiB and right after the previous EndPos, the last EndPos at
// the length, positions inside their slice, a known status, a source URL, and
// a package file holding every byte the list claims (packageSize < 0: no file).
// Any number, however large, gives an answer without overflow.
bool TaskListConsistent(const std::vector<SavedSlice>& slices, std::int64_t contentLength,
                        std::int64_t packageSize);

// "1K512B" style: G, M, K quotients while the rest exceeds the unit, then B.
std::string FormatSizeUnits(std::int64_t bytes);
// "1.5M" style, two decimals truncated; "0.00B" for nothing.
std::string FormatSizeText(std::int64_t bytes);

// Processors x 8 / 5, at least 4.
int WorkerCountFor(int processors);

// A probed length the download can take: positive, at most 1 TiB and at most
// the size of the disk that will hold it (diskBytes <= 0: size unknown).
bool PlausiblePackageLength(std::int64_t length, std::int64_t diskBytes);
