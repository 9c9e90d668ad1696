#pragma once
// Reads the slices a task-info file records, as the engine tests check them.
#include <tinyxml2.h>

#include <cstdint>
#include <string>
#include <vector>

struct SavedTask {
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::int64_t downloaded = 0;
  int status = 0;
};

// The slices of a task-info file that parses whole; empty otherwise. A field
// the file lacks reads as 0.
inline std::vector<SavedTask> ReadSavedTasks(const std::string& path) {
  std::vector<SavedTask> tasks;
  tinyxml2::XMLDocument doc;
  if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr) return tasks;
  const auto number = [](const tinyxml2::XMLElement* task, const char* name) -> std::int64_t {
    const auto* field = task->FirstChildElement(name);
    return field != nullptr ? field->Int64Text(0) : 0;
  };
  for (const auto* e = doc.RootElement()->FirstChildElement("Task"); e != nullptr; e = e->NextSiblingElement("Task")) {
    tasks.push_back({number(e, "StartPos"), number(e, "EndPos"), number(e, "DownloadedPos"),
                     static_cast<int>(number(e, "TaskStatus"))});
  }
  return tasks;
}
