// The task-info file beside a package: loading, the consistency rule the
// resume relies on, the byte counts of each slice, and saving it again.
#include <cstdint>
#include <vector>

#include "CDownloadTaskManager.h"
#include "FuzzSupport.h"
#include "SliceRules.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string info = fuzz::ScratchDir() + "/package.exe.xml";
  if (!fuzz::WriteBytes(info, data, size)) return 0;
  CDownloadTaskManager manager("http://127.0.0.1:9/package.exe", fuzz::ScratchDir() + "/package.exe", info);
  manager.loadTaskFromFile(0);
  std::vector<SavedSlice> slices;
  for (const auto& task : manager.allTasks()) {
    slices.push_back({task->StartPos, task->EndPos, task->DownloadedPos.load(), task->TaskId.load(),
                      task->TaskStatus.load(), !task->RemotePath.empty()});
  }
  const std::int64_t length = manager.ContentLength();
  // Packages missing, empty, and as long as the file claims.
  for (const std::int64_t packageSize : {std::int64_t{-1}, std::int64_t{0}, length}) {
    if (!TaskListConsistent(slices, length, packageSize)) continue;
    for (const SavedSlice& s : slices) {
      SliceBytesDone(s.start, s.end, s.downloaded, length);
      SliceLastByte(s.end, length);
    }
  }
  manager.saveTaskInfo();
  return 0;
}
