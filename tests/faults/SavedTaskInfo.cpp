#include "faults/SavedTaskInfo.h"

#include <tinyxml2.h>

#include <filesystem>

SavedTaskInfo SavedTaskInfo::Read(const std::string& path) {
  SavedTaskInfo info;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return info;
  info.fileSize = static_cast<std::int64_t>(size);
  tinyxml2::XMLDocument doc;
  if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr ||
      std::string(doc.RootElement()->Name()) != "TaskInfo") {
    return info;
  }
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (const auto* length = root->FirstChildElement("ContentLength")) info.contentLength = length->Int64Text(0);
  for (const auto* task = root->FirstChildElement("Task"); task != nullptr; task = task->NextSiblingElement("Task")) {
    SavedSlice slice;
    auto number = [task](const char* name) {
      const auto* e = task->FirstChildElement(name);
      return e != nullptr ? e->Int64Text(-1) : -1;
    };
    slice.start = number("StartPos");
    slice.end = number("EndPos");
    slice.downloaded = number("DownloadedPos");
    slice.id = static_cast<int>(number("TaskId"));
    slice.status = static_cast<int>(number("TaskStatus"));
    const auto* remote = task->FirstChildElement("RemotePath");
    slice.hasRemotePath = remote != nullptr && remote->GetText() != nullptr;
    info.slices.push_back(slice);
  }
  info.parsed = !info.slices.empty();
  return info;
}

std::vector<std::int64_t> SavedTaskInfo::CompleteSliceStarts() const {
  std::vector<std::int64_t> starts;
  for (const SavedSlice& s : slices) {
    if (s.status == kTaskComplete) starts.push_back(s.start);
  }
  return starts;
}
