#pragma once
// The task-info file beside the package: the list of slices of one download,
// read with bounds and written atomically after the package's data is on the
// disk, so that a later run resumes where an earlier one stopped.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CTask.h"

// What a task-info file holds. Reading starts from the values given and
// keeps them where the file has none.
struct SavedTaskList {
  std::int64_t contentLength = 0;
  std::int64_t downloadTime = 0;
  std::vector<std::unique_ptr<CTask>> tasks;  // slice order, as saved
};

class TaskInfoFile {
 public:
  TaskInfoFile(const std::string& localPath, const std::string& taskInfoPath);

  bool exists() const;
  // Unreadable or unparsable text gives no tasks. A slice without its own
  // length takes the file's length read before it.
  void read(SavedTaskList& list) const;
  // Flushes the package, then replaces the file; false (nothing saved) when
  // the flush failed.
  bool store(const std::string& xml) const { return Store(m_localPath, m_taskInfoPath, xml); }
  // Removes the package and the file.
  void removeWithPackage() const;

  static std::string BuildXml(const std::vector<std::unique_ptr<CTask>>& tasks, std::int64_t contentLength,
                              std::int64_t downloadTime);
  static bool Store(const std::string& localPath, const std::string& taskInfoPath, const std::string& xml);
  // The file describes another remote file: it is removed and the package
  // truncated (kept for reuse).
  static void DiscardForChangedFile(const std::string& localPath, const std::string& taskInfoPath);

  const std::string& path() const { return m_taskInfoPath; }

 private:
  std::string m_localPath;
  std::string m_taskInfoPath;
};
