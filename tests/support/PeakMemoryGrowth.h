#pragma once
// Growth of this process's peak resident memory since construction. The
// kernel's high-water mark is reset first when it can be; otherwise the old
// peak stands in as the start.
#include <cstdint>

class PeakMemoryGrowth {
 public:
  PeakMemoryGrowth();
  std::int64_t Bytes() const;

 private:
  std::int64_t start_ = 0;
};
