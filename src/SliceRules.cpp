#include "SliceRules.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <sstream>

std::vector<SliceRange> MakeSlices(std::int64_t contentLength) {
  std::vector<SliceRange> slices;
  if (contentLength <= 0) return slices;
  const std::int64_t count = std::max<std::int64_t>(contentLength / kSliceSize, 1);
  slices.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 1; i <= count; ++i) {
    const std::int64_t start = (i - 1) * kSliceSize;
    slices.push_back({start, i == count ? contentLength : i * kSliceSize - 1});
  }
  return slices;
}

std::int64_t SliceLastByte(std::int64_t endPos, std::int64_t contentLength) {
  return endPos == contentLength ? endPos - 1 : endPos;
}

std::int64_t PublishedPosition(std::int64_t endPos, std::int64_t contentLength, std::int64_t writePos) {
  if (endPos == contentLength) return std::min(writePos, endPos);
  if (writePos > endPos) return endPos;
  return writePos == endPos ? endPos - 1 : writePos;
}

std::int64_t SliceBytesDone(std::int64_t startPos, std::int64_t endPos, std::int64_t downloadedPos,
                            std::int64_t contentLength) {
  const bool inclusive = endPos != contentLength;
  const std::int64_t done = downloadedPos - startPos + (inclusive && downloadedPos == endPos ? 1 : 0);
  return std::max<std::int64_t>(done, 0);
}

bool TaskListConsistent(const std::vector<SavedSlice>& slices, std::int64_t contentLength,
                        std::int64_t packageSize) {
  if (slices.empty() || !PlausiblePackageLength(contentLength, 0)) return false;
  std::int64_t expectedStart = 0;
  std::int64_t claimedExtent = 0;
  for (const SavedSlice& s : slices) {
    if (s.id < 1 || s.start != static_cast<std::int64_t>(s.id - 1) * kSliceSize) return false;
    // Bounded by the length first: the sums below then cannot overflow,
    // whatever numbers the file holds.
    if (s.start != expectedStart || s.end < s.start || s.end > contentLength) return false;
    if (s.downloaded < s.start || s.downloaded > s.end) return false;
    if (s.status < kTaskNew || s.status > kTaskHandedOut || !s.hasRemotePath) return false;
    const std::int64_t done = SliceBytesDone(s.start, s.end, s.downloaded, contentLength);
    if (done > 0) claimedExtent = std::max(claimedExtent, s.start + done);
    expectedStart = s.end + 1;
  }
  if (slices.back().end != contentLength) return false;
  return claimedExtent == 0 || packageSize >= claimedExtent;
}

std::string FormatSizeUnits(std::int64_t bytes) {
  std::string text;
  if (bytes <= 0) return text;
  static constexpr struct {
    std::int64_t size;
    char letter;
  } kUnits[] = {{1073741824, 'G'}, {1048576, 'M'}, {1024, 'K'}};
  std::int64_t rest = bytes;
  for (const auto& unit : kUnits) {
    if (rest > unit.size) {
      text += std::to_string(rest / unit.size) + unit.letter;
      rest %= unit.size;
    }
  }
  if (rest > 0) text += std::to_string(rest) + "B";
  return text;
}

namespace {

// The number written right before the letter at position pos.
std::int64_t NumberBefore(const std::string& text, std::size_t pos) {
  std::size_t begin = pos;
  while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9') --begin;
  return std::atoll(text.substr(begin, pos - begin).c_str());
}

}  // namespace

std::string FormatSizeText(std::int64_t bytes) {
  if (bytes == 0) return "0.00B";
  const std::string units = FormatSizeUnits(bytes);
  static const std::string kLetters = "GMKB";
  for (std::size_t i = 0; i < kLetters.size(); ++i) {
    const std::size_t pos = units.find(kLetters[i]);
    if (pos == std::string::npos) continue;
    if (kLetters[i] == 'B') return std::to_string(NumberBefore(units, pos)) + "B";
    const std::size_t lower = units.find(kLetters[i + 1], pos);
    const double fraction = lower == std::string::npos ? 0.0 : NumberBefore(units, lower) / 1024.0;
    const double value = static_cast<double>(NumberBefore(units, pos)) +
                         static_cast<double>(static_cast<std::int64_t>(fraction * 100)) / 100;
    std::ostringstream out;
    out << value << kLetters[i];
    return out.str();
  }
  return "0.00B";
}

int WorkerCountFor(int processors) { return std::max(4, processors * 8 / 5); }

bool PlausiblePackageLength(std::int64_t length, std::int64_t diskBytes) {
  if (length <= 0 || length > kMaxPackageLength) return false;
  return diskBytes <= 0 || length <= diskBytes;
}
