#pragma once
// Reads a task-info file the way a test judges it: whether it parses whole,
// and the slices and length it records.
#include <cstdint>
#include <string>
#include <vector>

#include "SliceRules.h"

struct SavedTaskInfo {
  bool parsed = false;         // a TaskInfo root with at least one Task
  std::int64_t fileSize = -1;  // bytes of the file, -1 when missing
  std::int64_t contentLength = 0;
  std::vector<SavedSlice> slices;

  static SavedTaskInfo Read(const std::string& path);
  // Start positions of the slices recorded complete.
  std::vector<std::int64_t> CompleteSliceStarts() const;
};
